#pragma once
// How the program meets a failure. There are two regimes, each with one helper:
// - TryStep: a step of a window's handler. A step that fails is skipped, nothing is shown, and
//   the handler goes on with its next step.
// - Reported: an operation of the data layer, the key allocator or start-up. A failure ends the
//   operation and the user is told its description (the "Error" box).
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

// Runs one step; answers whether it finished. A failure is not reported.
template <typename Step>
bool TryStep(Step &&step)
{
    try {
        step();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// Runs one step that changes what the user asked to change (a delete). A failure is skipped as by
// TryStep, except that the user is told when the database was busy with another program's save.
template <typename Step>
bool TryWrite(Step &&step)
{
    try {
        step();
        return true;
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
    } catch (const SqlError &e) {
        if (!e.alreadyTold())
            ReportDataError(e.description());
    } catch (const std::exception &e) {
        ReportDataError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
