#pragma once

#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

// A progress dialog for a step that may take a while and cannot be stopped half-way: it shows only
// once the step has lasted about a second, keeps the other windows from taking input meanwhile,
// and has no Cancel button.
class WorkProgress {
public:
    WorkProgress(QWidget* parent, const QString& title, const QString& text);
    ~WorkProgress();
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // What the step calls now and then with how far it is.
    std::function<void(int done, int total)> reporter();

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};
