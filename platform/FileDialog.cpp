#include "platform/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace platform {

namespace {

class RealFileDialog : public FileDialogProvider {
public:
    QString openFile(const QString& title, const QString& filter) override
    {
        return remember(QFileDialog::getOpenFileName(nullptr, title, folder(), filter));
    }

    QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) override
    {
        // The dialog itself asks before an existing file is replaced.
        return remember(
            QFileDialog::getSaveFileName(nullptr, title, QDir(folder()).filePath(suggestedName), filter));
    }

private:
    QString folder() const { return m_folder.isEmpty() ? QDir::homePath() : m_folder; }
    QString remember(const QString& path)
    {
        if (!path.isEmpty())
            m_folder = QFileInfo(path).absolutePath();
        return path;
    }
    QString m_folder;
};

FileDialogProvider* g_provider = nullptr;

FileDialogProvider& provider()
{
    static RealFileDialog real;
    return g_provider ? *g_provider : real;
}

} // namespace

QString chooseFileToOpen(const QString& title, const QString& filter)
{
    return provider().openFile(title, filter);
}

QString chooseFileToSave(const QString& title, const QString& filter, const QString& suggestedName)
{
    return provider().saveFile(title, filter, suggestedName);
}

void setFileDialogProvider(FileDialogProvider* provider)
{
    g_provider = provider;
}

} // namespace platform
