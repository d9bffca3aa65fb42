#pragma once

#include <QString>

// The desktop's file dialog: choose a file to read or a file to write. The folder last used is
// offered again for the rest of the session.
namespace platform {

class FileDialogProvider {
public:
    virtual ~FileDialogProvider() = default;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString openFile(const QString& title, const QString& filter) = 0;
    // Asks before replacing a file that is there.
    virtual QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) = 0;
};

QString chooseFileToOpen(const QString& title, const QString& filter);
QString chooseFileToSave(const QString& title, const QString& filter, const QString& suggestedName);

// Replaces the real dialog (nullptr restores it). The provider stays owned by the caller.
void setFileDialogProvider(FileDialogProvider* provider);

} // namespace platform
