#include "windowkit/Controls.h"

#include <QLabel>
#include <QPushButton>

namespace Controls {

QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QFont& font)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QFont& font,
                    bool autoDefault)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFont(font);
    b->setAutoDefault(autoDefault);
    return b;
}

} // namespace Controls
