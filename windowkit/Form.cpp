#include "windowkit/Form.h"

#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void Form::load()
{
    kit::guarded([this] { Form_Load(); });
}

void Form::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    kit::guarded([this] { Form_Unload(); });
    hide();
    deleteLater();
    // The application ends when its last window is gone. A handler that moves on shows the next
    // window before it unloads its own, and a load step may unload its window and then show
    // another: so the test waits until the handler has returned.
    QTimer::singleShot(0, QCoreApplication::instance(), [life = kit::life()] {
        if (life == kit::life() && !kit::hasEnded() && !Forms::anyLoaded())
            kit::endApplication(0);
    });
}

void Form::discard()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    hide();
    deleteLater();
}

void Form::setClientSizeTwips(int width, int height)
{
    setFixedSize(twips(width), twips(height));
}

void Form::placeTwips(QWidget* control, int left, int top, int width, int height)
{
    control->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

void Form::closeEvent(QCloseEvent* event)
{
    // The window is destroyed by unload(); Qt must only hide it here.
    event->accept();
    unload();
}

void Form::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        if (const QScreen* screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}
