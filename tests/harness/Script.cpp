#include "harness/Script.h"

#include "app/frmMain.h"
#include "data/LinksStore.h"
#include "forms/backups/frmRestore.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmOptions.h"
#include "forms/protect/frmPassword.h"
#include "forms/protect/frmPasswordProtected.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

QString scriptUrlFor(const QString& name)
{
    return QStringLiteral("http://%1.example/").arg(name) + name.repeated(20);
}

HarnessScript::HarnessScript(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        m_lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void HarnessScript::start()
{
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { step(); });
}

void HarnessScript::step()
{
    if (kit::hasEnded() || m_next >= m_lines.size())
        return;
    const QStringList fields = m_lines[m_next++].split(QLatin1Char('\t'));
    if (fields[0] == QLatin1String("waitfile") && fields.size() == 2 && !QFile::exists(fields[1])) {
        --m_next;
        QTimer::singleShot(50, QCoreApplication::instance(), [this] { step(); });
        return;
    }
    if (fields[0] == QLatin1String("loop")) {
        m_next = 0;
    } else {
        const bool ok = run(fields);
        std::printf("%s\t%s\n", ok ? "DONE" : "FAILED", qPrintable(fields[0]));
        std::fflush(stdout);
    }
    // The next command waits for the event loop, as the next click of a user would.
    QTimer::singleShot(0, QCoreApplication::instance(), [this] { step(); });
}

bool HarnessScript::run(const QStringList& f)
{
    const QString& command = f[0];
    if (command == QLatin1String("login") && f.size() == 3) {
        frmLogIn* login = Forms::find<frmLogIn>();
        if (!login)
            return false;
        login->txtus->setText(f[1]);
        login->txtp->setText(f[2]);
        login->Command2->click();
        return Forms::find<frmMain>() != nullptr;
    }
    frmMain* main = Forms::find<frmMain>();
    if (!main)
        return false;
    if ((command == QLatin1String("protect") && f.size() == 3) || command == QLatin1String("unprotect")) {
        // Options, "Program Protection", then "Yes" and the credentials, or "No".
        main->mnuOptions->trigger();
        frmOptions* options = Forms::find<frmOptions>();
        if (!options)
            return false;
        options->Command1->click();
        frmPassword* choice = Forms::find<frmPassword>();
        if (!choice)
            return false;
        if (command == QLatin1String("unprotect")) {
            choice->Command2->click();
            return true;
        }
        choice->Command1->click();
        frmPasswordProtected* credentials = Forms::find<frmPasswordProtected>();
        if (!credentials)
            return false;
        credentials->txtus->setText(f[1]);
        credentials->txtp->setText(f[2]);
        credentials->txtp2->setText(f[2]);
        credentials->Command2->click();
        return true;
    }
    if (command == QLatin1String("add") && f.size() == 3) {
        main->mnuNewContact->trigger();
        frmNewSite* form = Forms::find<frmNewSite>();
        if (!form)
            return false;
        form->txtname->setText(f[1]);
        form->txtURL->setText(f[2]);
        form->Command2->click();
        return true;
    }
    if (command == QLatin1String("select") && f.size() == 2) {
        main->List1->setListIndex(f[1].toInt());
        return true;
    }
    if (command == QLatin1String("deleteSelected")) {
        main->mnuDeleteSelectedContact->trigger();
        return true;
    }
    if (command == QLatin1String("deleteAll")) {
        main->mnuDeleteAllContacts->trigger();
        return true;
    }
    if (command == QLatin1String("edit") && f.size() == 4) {
        main->mnuEditSite->trigger();
        frmEditSites* choose = Forms::find<frmEditSites>();
        if (!choose)
            return false;
        int row = 0;
        while (row < choose->List1->ListCount() && choose->List1->List(row) != f[1])
            ++row;
        if (row == choose->List1->ListCount())
            return false;
        choose->List1->setListIndex(row);
        frmEditThisSite* edit = Forms::find<frmEditThisSite>();
        if (!edit)
            return false;
        edit->txtname->setText(f[2]);
        edit->txtURL->setText(f[3]);
        edit->Command2->click();
        return true;
    }
    if (command == QLatin1String("bulk") && f.size() == 3) {
        // One transaction, as an import adds its links.
        QList<Link> links;
        for (int i = 0; i < f[2].toInt(); ++i) {
            const QString name = QStringLiteral("%1-%2").arg(f[1]).arg(i);
            links.append({name, scriptUrlFor(name)});
        }
        LinksStore::addAll(std::move(links));
        return true;
    }
    if (command == QLatin1String("restore") && f.size() == 2) {
        main->mnuRestoreBackup->trigger();
        frmRestore* restore = Forms::find<frmRestore>();
        if (!restore)
            return false;
        const int row = f[1].toInt();
        if (row >= restore->List1->ListCount()) {
            restore->Command2->click();
            return false;
        }
        restore->List1->setListIndex(row);
        restore->Command1->click();
        return true;
    }
    if (command == QLatin1String("report")) {
        std::printf("COUNT\t%s\t%d\n", qPrintable(main->lblTotalContacts->text()), main->List1->ListCount());
        return true;
    }
    if (command == QLatin1String("waitfile"))
        return true;
    if (command == QLatin1String("exit")) {
        main->mnuExit->trigger();
        return true;
    }
    return false;
}
