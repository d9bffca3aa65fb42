#pragma once

#include "data/DbError.h"

#include <QObject>
#include <QString>
#include <exception>
#include <utility>

// How the application ends, and the one place that turns a failure escaping a handler into a
// message box with its number and description, after which the application ends.
namespace kit {

// Ends the application at once: every window disappears without its own close steps and the
// event loop stops with exitCode. Before the loop runs, main() reads hasEnded() instead.
void endApplication(int exitCode = 0);
bool hasEnded();
int exitCode();

// Tests run many lives of the application in one process; each reset starts a new life.
void resetForTests();
int life();

// The unexpected-failure rule: a message box with number and description, then the end (code 1).
void failUnexpected(int number, const QString& description);

// Runs a handler body; no exception leaves it (none may cross Qt's event loop).
template <typename F> void guarded(F&& body) noexcept
{
    try {
        std::forward<F>(body)();
    } catch (const DbError& e) {
        failUnexpected(e.number(), e.description());
    } catch (const std::exception& e) {
        failUnexpected(DbErr::EngineFailure, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        failUnexpected(DbErr::EngineFailure, QStringLiteral("An unknown failure occurred."));
    }
}

// connect() for a handler of a window: the handler runs guarded and gets no signal arguments.
template <typename Sender, typename Signal, typename Receiver>
void onEvent(Sender* sender, Signal signal, Receiver* receiver, void (Receiver::*handler)())
{
    QObject::connect(sender, signal, receiver, [receiver, handler] { guarded([&] { (receiver->*handler)(); }); });
}

} // namespace kit
