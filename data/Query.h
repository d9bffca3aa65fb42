#pragma once

#include <QString>

// The query dialect of the windows: SELECT * FROM <table> WHERE <field> (= | LIKE) <text>, where
// <text> is one or more '...' literals ('' inside stands for one apostrophe) joined with &.
// Keywords in any case. = and LIKE ignore letter case for every letter; in LIKE, * stands for any
// run of characters, ? for one character, # for one digit, [abc] / [a-z] / [!abc] for one of a set.
struct ParsedQuery {
    QString table;
    QString field;
    enum class Op { Equal, Like } op = Op::Equal;
    QString operand; // the joined literal text
};

// Throws DbError(SyntaxError) on a text outside the dialect.
ParsedQuery parseQuery(const QString& text);

// Case-insensitive comparisons the dialect uses.
bool textEqualsIgnoreCase(const QString& a, const QString& b);
bool likeMatches(const QString& value, const QString& pattern);
