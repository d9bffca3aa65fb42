#include "testkit/Windows.h"

#include "app/Startup.h"
#include "app/frmMain.h"
#include "forms/about/frmAbout.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "forms/find/frmFindSite.h"
#include "forms/protect/frmFirstTime.h"
#include "forms/protect/frmLogIn.h"
#include "forms/protect/frmOptions.h"
#include "forms/protect/frmPassword.h"
#include "forms/protect/frmPasswordProtected.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace testkit {

void settle()
{
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

namespace {

template <typename T> Form* showOf()
{
    return Forms::show<T>();
}

} // namespace

Form* showForm(const QString& className)
{
    static const QHash<QString, Form* (*)()> shows{
        {"frmMain", &showOf<frmMain>},           {"frmNewSite", &showOf<frmNewSite>},
        {"frmEditSites", &showOf<frmEditSites>}, {"frmEditThisSite", &showOf<frmEditThisSite>},
        {"frmAbout", &showOf<frmAbout>},         {"frmFirstTime", &showOf<frmFirstTime>},
        {"frmPassword", &showOf<frmPassword>},   {"frmPasswordProtected", &showOf<frmPasswordProtected>},
        {"frmLogIn", &showOf<frmLogIn>},         {"frmOptions", &showOf<frmOptions>},
        {"frmFindSite", &showOf<frmFindSite>},
    };
    const auto show = shows.value(className);
    return show ? show() : nullptr;
}

Session::~Session()
{
    resetApplication();
}

bool Session::open(const QList<Link>& links)
{
    if (!links.isEmpty())
        file.addLinks(links);
    main = Forms::show<frmMain>();
    if (main && !QTest::qWaitForWindowActive(main))
        main = nullptr;
    return !main.isNull();
}

bool activate(QWidget* window)
{
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

void setProtection(frmMain* main, bool on, const QString& user, const QString& password)
{
    triggerAction(main->mnuOptions, "mnuOptions");
    frmOptions* options = Forms::find<frmOptions>();
    QVERIFY(options);
    QTest::mouseClick(options->Command1, Qt::LeftButton);
    frmPassword* choice = Forms::find<frmPassword>();
    QVERIFY(choice);
    if (!on) {
        QTest::mouseClick(choice->Command2, Qt::LeftButton);
        return;
    }
    QTest::mouseClick(choice->Command1, Qt::LeftButton);
    frmPasswordProtected* credentials = Forms::find<frmPasswordProtected>();
    QVERIFY(credentials);
    QTest::keyClicks(credentials->txtus, user);
    QTest::keyClicks(credentials->txtp, password);
    QTest::keyClicks(credentials->txtp2, password);
    QTest::mouseClick(credentials->Command2, Qt::LeftButton);
}

void logInThroughWindows(const QString& user, const QString& password)
{
    QVERIFY(app::start());
    frmLogIn* login = Forms::find<frmLogIn>();
    QVERIFY(login);
    QTest::keyClicks(login->txtus, user);
    QTest::keyClicks(login->txtp, password);
    QTest::mouseClick(login->Command2, Qt::LeftButton);
}

QStringList entries(const ListBox* list)
{
    QStringList texts;
    for (int i = 0; i < list->ListCount(); ++i)
        texts.append(list->List(i));
    return texts;
}

int indexOf(const ListBox* list, const QString& text)
{
    return int(entries(list).indexOf(text));
}

void clickEntry(ListBox* list, int row, Qt::MouseButton button)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), button, {}, list->visualRect(index).center());
}

MainState stateOf(const frmMain* main)
{
    return {entries(main->List1), main->List1->ListIndex(), main->lblSiteName->text(), main->lblURL->text(),
            main->lblTotalContacts->text()};
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_old(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv()
{
    if (m_wasSet)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

} // namespace testkit
