#pragma once

#include <QSet>
#include <QString>

// One link: its site name, its address, and the identity of the record it was read from (-1 for a
// link that is not stored, such as one read from a bookmark file).
struct Link {
    QString name;
    QString url;
    qint64 id = -1;
    bool operator==(const Link&) const = default;
};

// Names are compared exactly, character by character: letter case and blanks count, so "Mail",
// "mail" and "Mail " are three links. Every test of "this name is already there" goes through here.
inline bool sameName(const QString& a, const QString& b)
{
    return a == b;
}

// A set of names under that rule.
class NameSet {
public:
    void reserve(qsizetype size) { m_names.reserve(size); }
    bool contains(const QString& name) const { return m_names.contains(name); }
    // Adds the name; false when it was there already.
    bool insert(const QString& name)
    {
        const qsizetype before = m_names.size();
        m_names.insert(name);
        return m_names.size() != before;
    }

private:
    // QString's hash and equality are exact, which is the rule above.
    QSet<QString> m_names;
};
