#include "windowkit/WorkProgress.h"

#include <QProgressDialog>

WorkProgress::WorkProgress(QWidget* parent, const QString& title, const QString& text)
    : m_dialog(std::make_unique<QProgressDialog>(text, QString(), 0, 1, parent))
{
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setCancelButton(nullptr);
    m_dialog->setMinimumDuration(1000);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

WorkProgress::~WorkProgress()
{
    m_dialog->reset();
}

std::function<void(int done, int total)> WorkProgress::reporter()
{
    return [dialog = m_dialog.get()](int done, int total) {
        dialog->setMaximum(std::max(total, 1));
        // A modal dialog's setValue lets it paint, and show itself once the second has passed.
        dialog->setValue(std::min(done, std::max(total, 1)));
    };
}
