// The program as tests run it in a child process: the same start-up and windows, with the
// desktop replaced by lines on stdout. Every message box is written as
//   BOX <tab> style <tab> title <tab> text      (CR and LF written as \r and \n)
// and answered from TESSARY_HARNESS_ANSWERS (comma-separated numbers, used in order), else with
// its first button. Every address handed to the opener is written as OPEN <tab> target.
// When the start-up has settled, the visible windows are written as WINDOWS <tab> names, and the
// end as EXIT <tab> code. TESSARY_HARNESS_FOLDER names the folder of links.mdb; without it the
// program's own choice applies (beside this executable, else the user's data folder);
// TESSARY_HARNESS_SCRIPT names a script of user actions (harness/Script.h) run once the start-up
// has settled.
#include "app/Launch.h"
#include "app/Startup.h"
#include "data/LinksDb.h"
#include "harness/Script.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "windowkit/Lifecycle.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <deque>

namespace {

void writeLine(const QStringList& fields)
{
    QString line = fields.join(QLatin1Char('\t'));
    line.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class PrintingMessageBox : public platform::MessageBoxProvider {
public:
    PrintingMessageBox()
    {
        for (const QString& answer :
             qEnvironmentVariable("TESSARY_HARNESS_ANSWERS").split(u',', Qt::SkipEmptyParts))
            m_answers.push_back(answer.trimmed().toInt());
    }

    int show(const QString& text, const QString& title, int style) override
    {
        writeLine({QStringLiteral("BOX"), QString::number(style), title, text});
        if (!m_answers.empty()) {
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        // The default button, as Enter would answer.
        if ((style & 7) != platform::MsgStyle::YesNo)
            return platform::MsgAnswer::Ok;
        return style & platform::MsgStyle::DefaultButton2 ? platform::MsgAnswer::No : platform::MsgAnswer::Yes;
    }

private:
    std::deque<int> m_answers;
};

class PrintingOpener : public platform::Opener {
public:
    bool open(const QString& target) override
    {
        writeLine({QStringLiteral("OPEN"), target});
        return true;
    }
};

void writeVisibleWindows()
{
    QStringList names;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && !widget->objectName().isEmpty())
            names.append(widget->objectName());
    }
    names.sort();
    writeLine({QStringLiteral("WINDOWS"), names.join(QLatin1Char(' '))});
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    PrintingMessageBox boxes;
    PrintingOpener opener;
    platform::setMessageBoxProvider(&boxes);
    platform::setOpener(&opener);

    const QString folder = qEnvironmentVariable("TESSARY_HARNESS_FOLDER");
    if (!folder.isEmpty())
        LinksDb::setFolder(folder);

    HarnessScript script(qEnvironmentVariable("TESSARY_HARNESS_SCRIPT"));
    int code = kit::exitCode();
    if (folder.isEmpty() && !app::useLinksFile()) {
        code = 1;
    } else if (app::start()) {
        QTimer::singleShot(0, &application, [&script] {
            if (kit::hasEnded())
                return;
            writeVisibleWindows();
            script.start();
        });
        code = application.exec();
    } else {
        code = kit::exitCode();
    }
    writeLine({QStringLiteral("EXIT"), QString::number(code)});
    platform::setMessageBoxProvider(nullptr);
    platform::setOpener(nullptr);
    return code;
}
