#include "windowkit/Form.h"

#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
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

void Form::setDefaultButton(QPushButton* button)
{
    if (m_defaultButton)
        m_defaultButton->setDefault(false);
    m_defaultButton = button;
    button->setDefault(true);
}

void Form::keyPressEvent(QKeyEvent* event)
{
    // Text boxes and lists pass these keys on to their window.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    QPushButton* button = nullptr;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
        button = m_defaultButton;
    else if (plain && event->key() == Qt::Key_Escape)
        button = m_cancelButton;
    if (button && button->isEnabled() && button->isVisible()) {
        event->accept();
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
