#pragma once

// Helpers for driving the program's windows in tests, as a user would.

#include "testkit/TestKit.h"
#include "windowkit/Forms.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

class ListBox;
class QWidget;
class frmMain;

namespace testkit {

// Lets deferred work run: unloaded windows are destroyed and the "last window gone" check runs.
void settle();

// Whether a window of class T is loaded and visible.
template <typename T> bool isShown()
{
    T* form = Forms::find<T>();
    return form && form->isVisible();
}

// Any of the program's windows by its class name, shown as Forms::show does; nullptr for an
// unknown name or a window whose load step unloaded it.
Form* showForm(const QString& className);

// One test's program: its own links.mdb, recorded message boxes and opened addresses, no other
// copy running, and the main window once open() ran. The destructor closes every window first,
// so none outlives the file or the recorders (the suites' cleanup() runs only after all of these
// are gone).
class Session {
public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Stores the links in this order, then shows the main window and waits until it is active (its
    // load step has run); false when it did not open.
    bool open(const QList<Link>& links = {});

    TempLinksDb file;
    ScriptedMessageBox boxes;
    FakeInstanceGuard guard;
    std::optional<RecordingOpener> opener{std::in_place}; // reset() it to reach the real opener
    QPointer<frmMain> main;
};

// Brings the window to the front and waits until it is active; false when it did not become so.
bool activate(QWidget* window);

// Options, Program Protection, then "Yes" and the credentials, or "No".
void setProtection(frmMain* main, bool on, const QString& user = {}, const QString& password = {});
// The start-up of a protected program up to the log-in, then the credentials typed and Ok.
void logInThroughWindows(const QString& user, const QString& password);

// Every entry of a list box, in the order shown.
QStringList entries(const ListBox* list);
// The first entry with exactly this text, -1 when there is none.
int indexOf(const ListBox* list, const QString& text);
// A mouse click on that entry.
void clickEntry(ListBox* list, int row, Qt::MouseButton button = Qt::LeftButton);

// What the main window shows: its list, selection, details and count.
struct MainState {
    QStringList list;
    int index;
    QString name, url, count;
    bool operator==(const MainState&) const = default;
};
MainState stateOf(const frmMain* main);

// Sets an environment variable for one test and puts the old value back however the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_wasSet;
};

} // namespace testkit
