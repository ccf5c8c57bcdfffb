#include "data/Failure.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {
IErrorReporter *g_reporter = nullptr;

// The event loop level of each action running, innermost last; -1 for work kept outside them.
std::vector<int> g_actions;
// Whether the user has been told of a lost database since the action began or the loop turned.
bool g_lostTold = false;
unsigned g_serial = 0;
bool g_turnPending = false;

int loopLevel()
{
    return QCoreApplication::instance() ? QThread::currentThread()->loopLevel() : 0;
}
}  // namespace

ConnectionLost ConnectionLost::Server(const QString &reason)
{
    return ConnectionLost(QStringLiteral("The database server could not be reached: %1. Nothing was saved; try again "
                                         "in a moment.").arg(reason));
}

ConnectionLost ConnectionLost::File(const QString &path, const QString &reason)
{
    return ConnectionLost(QStringLiteral("The database file %1 could not be read or written: %2. Nothing was saved; "
                                         "try again in a moment.").arg(path, reason));
}

bool InAction() { return !g_actions.empty() && g_actions.back() == loopLevel(); }

void TellLost(const ConnectionLost &lost)
{
    if (g_lostTold)
        return;
    g_lostTold = true;
    if (QCoreApplication::instance())
        QTimer::singleShot(0, [] { g_lostTold = false; });
    else
        g_lostTold = false;
    ReportDataError(lost.description());
}

unsigned ActionSerial() { return g_serial; }

void NextTurnAfterLoss()
{
    if (g_turnPending || !QCoreApplication::instance())
        return;
    g_turnPending = true;
    QTimer::singleShot(0, [] {
        g_turnPending = false;
        ++g_serial;
    });
}

OutsideAction::OutsideAction() { g_actions.push_back(-1); }
OutsideAction::~OutsideAction() { g_actions.pop_back(); }

namespace failure_detail {
void EnterAction()
{
    g_lostTold = false;  // a new action of the user is told anew
    ++g_serial;
    g_actions.push_back(loopLevel());
}
void LeaveAction() noexcept { g_actions.pop_back(); }
}  // namespace failure_detail

DatabaseBusy::DatabaseBusy()
    : SqlError(QStringLiteral("The database is busy: another program is saving in it. Nothing was saved; "
                              "try again in a moment."))
{
}

IErrorReporter *SetErrorReporter(IErrorReporter *reporter)
{
    IErrorReporter *previous = g_reporter;
    g_reporter = reporter;
    return previous;
}

void ReportDataError(const QString &description)
{
    if (g_reporter)
        g_reporter->Report(description);
    else
        fprintf(stderr, "Error: %s\n", qPrintable(description));
}
