#include "app/Launch.h"

#include "data/LinksDb.h"
#include "data/LinksLocation.h"
#include "platform/MessageBox.h"

#include "TessaryVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>

namespace app {

namespace {

void write(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

std::optional<int> readCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QString command = arguments.isEmpty() ? QStringLiteral("tessary") : QFileInfo(arguments[0]).fileName();
    const QString usage = QStringLiteral("Usage: %1 [--help] [--version]\n").arg(command);

    QCommandLineParser parser;
    // Qt's own options (-platform, -style) are refused too: "-platform" is one unknown word, not six letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    parser.addOption(help);
    parser.addOption(version);

    QString refused;
    if (!parser.parse(arguments))
        refused = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        refused = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    if (!refused.isEmpty()) {
        write(stderr, QStringLiteral("%1: %2\n").arg(command, refused) + usage);
        return 2;
    }
    if (parser.isSet(help)) {
        write(stdout, usage + QStringLiteral("Orvane Tessary keeps a personal list of web links in an "
                                             "encrypted file: links.mdb beside the program when "
                                             "one is there, else in ~/.local/share/tessary.\n\n"
                                             "  -h, --help     Show this help and exit.\n"
                                             "  -v, --version  Show the version and exit.\n"));
        return 0;
    }
    if (parser.isSet(version)) {
        write(stdout, QStringLiteral("Orvane Tessary %1\n").arg(QLatin1String(release::Version)));
        return 0;
    }
    return std::nullopt;
}

bool useLinksFile()
{
    // The data folder is named after the command (~/.local/share/tessary), not after the title the
    // windows show; the start-up sets that title as the application name afterwards.
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("tessary"));
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    const LinksLocation::Choice choice = LinksLocation::choose(QCoreApplication::applicationDirPath(), userFolder);
    if (!choice.error.isEmpty()) {
        platform::MsgBox(choice.error, platform::MsgStyle::Critical, QStringLiteral("Orvane Tessary"));
        return false;
    }
    LinksDb::setFolder(choice.folder);
    return true;
}

} // namespace app
