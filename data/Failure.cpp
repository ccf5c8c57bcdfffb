#include "data/Failure.h"

#include <cstdio>

namespace {
IErrorReporter *g_reporter = nullptr;
}  // namespace

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
