#include "forms/find/MatchList.h"

#include <QApplication>
#include <QPainter>

namespace {

// More characters than any line of the list can show; the rest is never laid out.
constexpr int LineLimit = 300;
constexpr int TipLimit = 1000;

QColor mixed(const QColor& a, const QColor& b, qreal share)
{
    return QColor::fromRgbF(float(a.redF() * share + b.redF() * (1 - share)),
                            float(a.greenF() * share + b.greenF() * (1 - share)),
                            float(a.blueF() * share + b.blueF() * (1 - share)));
}

void drawLine(QPainter* painter, const QRect& rect, const QString& text)
{
    const QString elided = painter->fontMetrics().elidedText(shownText(text, LineLimit), Qt::ElideRight,
                                                             rect.width(), Qt::TextForceLeftToRight);
    painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextForceLeftToRight,
                      elided);
}

} // namespace

QString shownText(const QString& text, int limit)
{
    QString shown = text.left(limit);
    if (shown.size() < text.size()) {
        if (shown.back().isHighSurrogate())
            shown.chop(1);
        shown.append(QChar(0x2026));
    }
    for (QChar& c : shown) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            c = QChar::ReplacementCharacter;
            break;
        default:
            break;
        }
    }
    return shown;
}

void MatchModel::show(std::shared_ptr<const search::Index> index, std::vector<int> rows)
{
    beginResetModel();
    m_index = std::move(index);
    m_rows = std::move(rows);
    endResetModel();
}

int MatchModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant MatchModel::data(const QModelIndex& index, int role) const
{
    if (!m_index || index.row() < 0 || index.row() >= rowCount())
        return {};
    const int row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return m_index->name(row);
    case AddressRole:
        return m_index->url(row);
    case Qt::AccessibleTextRole:
        return shownText(m_index->name(row), TipLimit) + QStringLiteral(", ") +
               shownText(m_index->url(row), TipLimit);
    case Qt::ToolTipRole:
        return shownText(m_index->name(row), TipLimit) + QLatin1Char('\n') +
               shownText(m_index->url(row), TipLimit);
    default:
        return {};
    }
}

Link MatchModel::link(int row) const
{
    return m_index->link(m_rows[size_t(row)]);
}

int MatchModel::rowOf(qint64 id) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_index->id(m_rows[i]) == id)
            return int(i);
    }
    return -1;
}

void MatchDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The background, the selection and the focus frame as the style draws them.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const bool selected = opt.state & QStyle::State_Selected;
    const QColor text = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor back = opt.palette.color(selected ? QPalette::Highlight : QPalette::Base);
    const QRect line = opt.rect.adjusted(4, 0, -4, 0);
    const int nameWidth = line.width() * 2 / 5;
    const QRect nameRect(line.left(), line.top(), nameWidth, line.height());
    const QRect urlRect(nameRect.right() + 9, line.top(), line.right() - nameRect.right() - 8, line.height());

    painter->save();
    painter->setClipRect(opt.rect);
    QFont nameFont = opt.font;
    nameFont.setBold(true);
    painter->setFont(nameFont);
    painter->setPen(text);
    drawLine(painter, nameRect, index.data(Qt::DisplayRole).toString());
    QFont urlFont = opt.font;
    urlFont.setBold(false);
    painter->setFont(urlFont);
    painter->setPen(mixed(text, back, 0.65));
    drawLine(painter, urlRect, index.data(MatchModel::AddressRole).toString());
    painter->restore();
}

QSize MatchDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    // Every line alike and no wider than the list: the list takes its width from the window.
    QFont bold = option.font;
    bold.setBold(true);
    return {1, QFontMetrics(bold).height() + 4};
}

MatchView::MatchView(QWidget* parent) : ChoiceView(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new MatchDelegate(this));
}
