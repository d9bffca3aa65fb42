#pragma once

#include "search/Find.h"
#include "windowkit/ListBox.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <memory>
#include <vector>

// The matches as the find window lists them: one line each, the site name and, dimmer beside it,
// the address. Only the lines on screen are ever made into text, so any number of matches costs
// a reset and no more.
class MatchModel : public QAbstractListModel {
public:
    explicit MatchModel(QObject* parent) : QAbstractListModel(parent) {}

    // Lists these rows of index, best first.
    void show(std::shared_ptr<const search::Index> index, std::vector<int> rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    Link link(int row) const;
    // The listed row of the link with this identity, -1 when it is not listed.
    int rowOf(qint64 id) const;

    static constexpr int AddressRole = Qt::UserRole + 1;

private:
    std::shared_ptr<const search::Index> m_index;
    std::vector<int> m_rows;
};

// Draws a match on one line of a fixed height, both texts cut short with "..." to their column:
// a name of any length or direction never widens or breaks the list.
class MatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The list of matches. As in the program's other lists, input moves the selection but never
// takes it away.
class MatchView : public ChoiceView {
public:
    explicit MatchView(QWidget* parent);
};

// A text made safe to draw on one line: at most `limit` characters, control characters and line
// breaks shown as U+FFFD.
QString shownText(const QString& text, int limit);
