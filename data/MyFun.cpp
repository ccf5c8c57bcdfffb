#include "data/MyFun.h"

#include <algorithm>
#include <cstdlib>

Connection SharedConnection;
std::shared_ptr<Recordset> SharedRecordset;
CTemplate DataAccess;
QString CurrentUserId;
QString AppTitle;
QString ServerConnection;

namespace {
// The program may end at once (Quit, Escape in the login dialog): the connection still closes,
// so that the file alone holds every change and is a plain rollback-journal file again.
[[maybe_unused]] const bool g_closesAtQuickExit = std::at_quick_exit([] { SharedConnection.Close(); }) == 0;
}  // namespace

namespace {
// The largest value of a column plus 1, or 1 when it holds none.
std::int64_t oneAboveLargest(const QString &tblName, const QString &idField)
{
    DataAccess.ExecuteSql(QStringLiteral("Select max(") + idField + QStringLiteral(") From ") + tblName);
    if (!SharedRecordset)
        throw SqlError(QStringLiteral("The key query returned no result."));
    const Variant largest = SharedRecordset->Fields(0);
    if (largest.isNull())
        return 1;
    bool ok = false;
    const std::int64_t current = largest.toInt64(&ok);
    if (!ok)
        throw SqlError(QStringLiteral("Type mismatch: the largest %1 of %2 is not a number.").arg(idField, tblName));
    return current + 1;
}
}  // namespace

std::int32_t NextKey(const QString &tblName, const QString &idField)
{
    std::int64_t next = oneAboveLargest(tblName, idField);
    // The entries of a deleted task stay in the ledger table under its number; a new task
    // never takes a number that entries still name, or it would show them as its own.
    if (tblName.compare(QLatin1String("tblTasks"), Qt::CaseInsensitive) == 0 &&
        idField.compare(QLatin1String("TaskID"), Qt::CaseInsensitive) == 0)
        next = std::max(next, oneAboveLargest(QStringLiteral("tblTransaction"), QStringLiteral("TaskID")));
    if (next > kLargestKey || next < -kLargestKey - 1)
        throw SqlError(QStringLiteral("Overflow: %1 has no key left to give (the largest is %2).").arg(tblName).arg(kLargestKey));
    SharedRecordset.reset();
    return std::int32_t(next);
}

std::int32_t GetNextId(const QString &tblName, const QString &idField)
{
    std::int32_t key = 0;
    Reported([&] { key = NextKey(tblName, idField); });
    return key;
}

QString JoinList(const QStringList &items) { return items.join(kListDelimiter); }

bool IsBlank(const QString &text)
{
    for (const QChar c : text)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

QString QuoteSql(const QString &value)
{
    if (IsBlank(value))
        return QStringLiteral("' '");
    QString doubled = value;
    doubled.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString QuoteSql(const Variant &value)
{
    if (value.isNull())
        return QStringLiteral("' '");
    return QuoteSql(value.toString());
}

void ResetProcessState()
{
    SharedRecordset.reset();
    SharedConnection.Close();
    CurrentUserId.clear();
    ServerConnection.clear();
}
