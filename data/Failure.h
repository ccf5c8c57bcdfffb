#pragma once
// How the program meets a failure. There are two regimes, each with one helper:
// - TryStep: a step of a window's handler. A step that fails is skipped, nothing is shown, and
//   the handler goes on with its next step.
// - Reported: an operation of the data layer, the key allocator or start-up. A failure ends the
//   operation and the user is told its description (the "Error" box).
// A lost database (ConnectionLost) is neither: it is no fault of the step or of what the user typed.
// Inside a user's action (RunAction) the helpers pass it on, so that the action ends at once and
// the user is told once, with the window left as it was; elsewhere it is told once, then skipped.
#include <QString>
#include <stdexcept>

// A failure of the database layer, carrying the engine's description.
class SqlError : public std::runtime_error {
public:
    explicit SqlError(const QString &description, bool alreadyTold = false)
        : std::runtime_error(description.toStdString()), m_description(description), m_alreadyTold(alreadyTold) {}
    const QString &description() const { return m_description; }
    // True when the user has been told of this failure already during the same action (a lost
    // connection to the database server fails every statement that follows it): not told again.
    bool alreadyTold() const { return m_alreadyTold; }

private:
    QString m_description;
    bool m_alreadyTold;
};

// The database is held by another program's write for longer than the connection waits: the
// statement did not run and nothing was stored.
class DatabaseBusy : public SqlError {
public:
    DatabaseBusy();
};

// The database itself could not be reached: the server's connection was lost or cannot be made,
// or the file could not be read or written (a disk error, the file removed or replaced under the
// running program). The description is the whole message for the user.
class ConnectionLost : public SqlError {
public:
    using SqlError::SqlError;
    // "The database server could not be reached: <reason>. Nothing was saved; try again in a moment."
    static ConnectionLost Server(const QString &reason);
    // The same for the file at path.
    static ConnectionLost File(const QString &path, const QString &reason);
};

// Whoever tells the user of a failure of the data layer. The windows' layer installs the
// "Error" box at start-up; until then a failure is written to standard error.
class IErrorReporter {
public:
    virtual ~IErrorReporter() = default;
    virtual void Report(const QString &description) = 0;
};
// Installs the reporter (nullptr: standard error); answers the one it replaces.
IErrorReporter *SetErrorReporter(IErrorReporter *reporter);
// Tells the user of a failure through the installed reporter.
void ReportDataError(const QString &description);

// Whether a ConnectionLost is to be passed on to the action running now: true inside RunAction,
// in the turn of the event loop that runs it (a modal window's own loop is not the action's).
bool InAction();
// A lost database met where no action can end at once: told once until the event loop turns again.
void TellLost(const ConnectionLost &lost);
// Counts the user's actions begun (RunAction) and the turns of the event loop after a lost
// database: a connection lost during one is not made again before the next.
unsigned ActionSerial();
void NextTurnAfterLoss();

// Keeps ConnectionLost from reaching the action while it lives, for work that runs on behalf of
// the windows' layer (a grid stepping its rows) rather than as a step of the action.
class OutsideAction {
public:
    OutsideAction();
    ~OutsideAction();
    OutsideAction(const OutsideAction &) = delete;
    OutsideAction &operator=(const OutsideAction &) = delete;
};

namespace failure_detail {
void EnterAction();
void LeaveAction() noexcept;
}  // namespace failure_detail

// Runs one action of the user (a window's handler) to its end. A lost database ends it at that
// point and is told once; any other failure that reaches here is told as the "Error" box. Nothing
// is thrown out of it, so that no exception crosses the windows' event loop. Answers whether the
// action finished.
template <typename Body>
bool RunAction(Body &&body)
{
    failure_detail::EnterAction();
    try {
        body();
        failure_detail::LeaveAction();
        return true;
    } catch (const ConnectionLost &e) {
        failure_detail::LeaveAction();
        TellLost(e);
    } catch (const SqlError &e) {
        failure_detail::LeaveAction();
        if (!e.alreadyTold())
            ReportDataError(e.description());
    } catch (const std::exception &e) {
        failure_detail::LeaveAction();
        ReportDataError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

// Runs one step; answers whether it finished. A failure is not reported.
template <typename Step>
bool TryStep(Step &&step)
{
    try {
        step();
        return true;
    } catch (const ConnectionLost &e) {
        if (InAction())
            throw;
        TellLost(e);
    } catch (const std::exception &) {
    }
    return false;
}

// Runs one step that changes what the user asked to change (a delete). A failure is skipped as by
// TryStep, except that the user is told when the database was busy with another program's save.
template <typename Step>
bool TryWrite(Step &&step)
{
    try {
        step();
        return true;
    } catch (const ConnectionLost &e) {
        if (InAction())
            throw;
        TellLost(e);
    } catch (const DatabaseBusy &e) {
        ReportDataError(e.description());
    } catch (const std::exception &) {
    }
    return false;
}

// Runs one operation; a failure ends it and is reported. Answers whether it finished.
template <typename Body>
bool Reported(Body &&body)
{
    try {
        body();
        return true;
    } catch (const ConnectionLost &e) {
        if (InAction())
            throw;
        TellLost(e);
    } catch (const SqlError &e) {
        if (!e.alreadyTold())
            ReportDataError(e.description());
    } catch (const std::exception &e) {
        ReportDataError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
