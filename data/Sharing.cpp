#include "data/Sharing.h"

#include "data/MyFun.h"
#include "data/PgEngine.h"

#include <QTimeZone>
#include <algorithm>

#include <map>

namespace {

QString me() { return QuoteSql(CurrentUserId); }

// A value as an SQL literal exactly as it was (an empty text stays empty); null stays NULL.
QString literal(const Variant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    QString text = value.toString();
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

bool onServer() { return dynamic_cast<PgEngine *>(SharedConnection.Engine()) != nullptr; }

QString roleWord(ProjectRole role)
{
    return role == ProjectRole::Editor ? QStringLiteral("Editor") : role == ProjectRole::Viewer ? QStringLiteral("Viewer") : QString();
}

ProjectRole roleOf(const QString &word)
{
    if (word == QLatin1String("Editor"))
        return ProjectRole::Editor;
    if (word == QLatin1String("Viewer"))
        return ProjectRole::Viewer;
    return ProjectRole::None;
}

// The history rows the user may see: of the projects they own or belong to, and of rows of their
// own (a project they deleted). On a server the row policy says the same.
QString visibleHistory()
{
    return QStringLiteral("(RowUserId=%1 Or (TableName<>'defHeads' And (TaskID In (Select TaskID From tblTasks Where "
                          "UserId=%1) Or TaskID In (Select TaskID From tblMembers Where UserId=%1))))")
        .arg(me());
}

void requireOwner(std::int32_t taskId)
{
    if (AccessTo(taskId).role != ProjectRole::Owner)
        throw SqlError(QStringLiteral("Only the project's owner may change its members."));
}

const char *const kHistoryColumns =
    "Id, Event, ChangedAt, ChangedBy, TableName, RowKey, TaskID, Kind, ColumnName, OldValue, NewValue, RowUserId";

struct Event {
    QString table, kind, rowUser;
    std::int64_t rowKey = 0;
    std::int32_t taskId = 0;
    std::vector<std::pair<QString, Variant>> before;  // column, old value, in the table's order
};

Event readEvent(std::int64_t event)
{
    Event e;
    const auto rs = SharedConnection.Execute(
        QStringLiteral("Select TableName, RowKey, TaskID, Kind, ColumnName, OldValue, RowUserId From tblHistory Where "
                       "Event=%1 And %2 Order By Id").arg(event).arg(visibleHistory()));
    if (rs->Eof())
        throw SqlError(QStringLiteral("That change is not in the history, or you may not see it."));
    e.table = rs->Fields(0).toString();
    e.rowKey = rs->Fields(1).toInt64();
    e.taskId = std::int32_t(rs->Fields(2).toInt64());
    e.kind = rs->Fields(3).toString();
    e.rowUser = rs->Fields(6).toString();
    for (; !rs->Eof(); rs->MoveNext())
        e.before.emplace_back(rs->Fields(4).toString(), rs->Fields(5));
    return e;
}

// The key a restored row is inserted under: its own while still free, else the table's next one.
// On a server the key function grants it.
std::int64_t restoredKey(const QString &table, const QString &keyColumn, std::int64_t own)
{
    if (onServer())
        return SharedConnection.Execute(QStringLiteral("Select qmk_restore_key('%1', %2)").arg(table.toLower()).arg(own))
            ->Fields(0).toInt64();
    const bool taken = SharedConnection.Execute(QStringLiteral("Select count(*) From %1 Where %2=%3")
                                                    .arg(table, keyColumn).arg(own))->Fields(0).toInt64() > 0;
    return taken || own < 1 ? NextKey(table, keyColumn) : own;
}

std::int64_t insertAgain(const Event &e, const QString &keyColumn)
{
    WriteTransaction tx(SharedConnection);
    const std::int64_t key = restoredKey(e.table, keyColumn, e.rowKey);
    QStringList columns, values;
    for (const auto &[column, value] : e.before) {
        columns << column;
        values << (column == keyColumn ? QString::number(key) : literal(value));
    }
    SharedConnection.Execute(QStringLiteral("Insert Into %1 (%2) Values (%3)")
                                 .arg(e.table, columns.join(QLatin1Char(',')), values.join(QLatin1Char(','))));
    tx.Commit();
    return key;
}

std::int64_t changeBack(const Event &e, const QString &keyColumn)
{
    WriteTransaction tx(SharedConnection);
    if (SharedConnection.Execute(QStringLiteral("Select count(*) From %1 Where %2=%3").arg(e.table, keyColumn).arg(e.rowKey))
            ->Fields(0).toInt64() == 0)
        throw SqlError(QStringLiteral("The row that change was made to no longer exists; restore its deletion first."));
    QStringList sets;
    for (const auto &[column, value] : e.before)
        if (column != keyColumn && column != QLatin1String("UserId"))
            sets << column + QLatin1Char('=') + literal(value);
    if (!sets.isEmpty())
        SharedConnection.Execute(QStringLiteral("Update %1 Set %2 Where %3=%4")
                                     .arg(e.table, sets.join(QLatin1Char(',')), keyColumn).arg(e.rowKey));
    tx.Commit();
    return e.rowKey;
}

}  // namespace

QString RoleName(ProjectRole role)
{
    return role == ProjectRole::Owner ? QStringLiteral("Owner") : roleWord(role);
}

ProjectAccess AccessTo(std::int32_t taskId)
{
    ProjectAccess access;
    const auto rs = SharedConnection.Execute(
        QStringLiteral("Select t.UserId, Case When t.UserId=%2 Then 1 Else 0 End, (Select m.Role From tblMembers m "
                       "Where m.TaskID=t.TaskID And m.UserId=%2) From tblTasks t Where t.TaskID=%1")
            .arg(taskId).arg(me()));
    if (rs->Eof() || CurrentUserId.isEmpty())
        return access;
    access.owner = rs->Fields(0).toString();
    access.role = rs->Fields(1).toInt64() == 1 ? ProjectRole::Owner : roleOf(rs->Fields(2).toString());
    return access;
}

std::vector<Member> MembersOf(std::int32_t taskId)
{
    std::vector<Member> members;
    if (AccessTo(taskId).role == ProjectRole::None)
        return members;
    for (auto rs = SharedConnection.Execute(
             QStringLiteral("Select UserId, Role From tblMembers Where TaskID=%1 Order By UserId").arg(taskId));
         !rs->Eof(); rs->MoveNext())
        members.push_back({rs->Fields(0).toString(), roleOf(rs->Fields(1).toString())});
    return members;
}

void ShareProject(std::int32_t taskId, const QString &user, ProjectRole role)
{
    if (onServer()) {
        SharedConnection.Execute(QStringLiteral("Select qmk_share(%1, %2, %3)")
                                     .arg(taskId).arg(literal(Variant(user)), literal(Variant(roleWord(role)))));
        return;
    }
    requireOwner(taskId);
    if (role != ProjectRole::Editor && role != ProjectRole::Viewer)
        throw SqlError(QStringLiteral("A member is a viewer or an editor."));
    WriteTransaction tx(SharedConnection);
    const auto found = SharedConnection.Execute(QStringLiteral("Select UserId From tblUsers Where UserId=%1").arg(literal(Variant(user))));
    if (found->Eof() || user.isEmpty())
        throw SqlError(QStringLiteral("No user named %1 exists.").arg(user));
    const QString stored = found->Fields(0).toString();
    if (stored.compare(AccessTo(taskId).owner, Qt::CaseInsensitive) == 0)
        throw SqlError(QStringLiteral("The project's owner cannot be one of its members."));
    const auto current = SharedConnection.Execute(
        QStringLiteral("Select Role From tblMembers Where TaskID=%1 And UserId=%2").arg(taskId).arg(literal(Variant(stored))));
    if (current->Eof())
        SharedConnection.Execute(QStringLiteral("Insert Into tblMembers (TaskID,UserId,Role) Values (%1,%2,'%3')")
                                     .arg(taskId).arg(literal(Variant(stored)), roleWord(role)));
    else if (current->Fields(0).toString() != roleWord(role))
        SharedConnection.Execute(QStringLiteral("Update tblMembers Set Role='%3' Where TaskID=%1 And UserId=%2")
                                     .arg(taskId).arg(literal(Variant(stored)), roleWord(role)));
    tx.Commit();
}

void UnshareProject(std::int32_t taskId, const QString &user)
{
    if (onServer()) {
        SharedConnection.Execute(QStringLiteral("Select qmk_unshare(%1, %2)").arg(taskId).arg(literal(Variant(user))));
        return;
    }
    requireOwner(taskId);
    SharedConnection.Execute(
        QStringLiteral("Delete From tblMembers Where TaskID=%1 And UserId=%2").arg(taskId).arg(literal(Variant(user))));
}

QString SharedWithCondition(const QString &user)
{
    return QStringLiteral("TaskID In (Select TaskID From tblMembers Where UserId=%1)").arg(QuoteSql(user));
}

namespace {

// The history rows a statement selects (kHistoryColumns), newest change first, each change's
// columns in their table's order. The statement orders by Event Desc, Id Desc, which the index
// of a project's history gives without sorting; each change's rows are turned round here.
std::vector<HistoryRow> historyRows(const QString &sql)
{
    std::vector<HistoryRow> rows;
    const auto rs = SharedConnection.Execute(sql);
    const int n = rs->RecordCount();
    rows.reserve(size_t(n));
    QString lastStamp;
    QDateTime lastAt;
    for (int i = 0; i < n; ++i) {
        HistoryRow r;
        r.id = rs->FieldAt(i, 0).toInt64();
        r.event = rs->FieldAt(i, 1).toInt64();
        // The rows of one change share their time: it is read once.
        const QString stamp = rs->FieldAt(i, 2).toString();
        if (stamp != lastStamp) {
            lastStamp = stamp;
            lastAt = QDateTime::fromString(stamp, Qt::ISODate);
            lastAt.setTimeZone(QTimeZone::utc());
        }
        r.changedAt = lastAt;
        r.changedBy = rs->FieldAt(i, 3).toString();
        r.table = rs->FieldAt(i, 4).toString();
        r.rowKey = rs->FieldAt(i, 5).toInt64();
        r.taskId = std::int32_t(rs->FieldAt(i, 6).toInt64());
        r.kind = rs->FieldAt(i, 7).toString();
        r.column = rs->FieldAt(i, 8).toString();
        r.oldValue = rs->FieldAt(i, 9).toString();
        r.newValue = rs->FieldAt(i, 10).toString();
        rows.push_back(std::move(r));
    }
    for (size_t first = 0; first < rows.size();) {
        size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1].event == rows[first].event)
            ++last;
        std::reverse(rows.begin() + std::ptrdiff_t(first), rows.begin() + std::ptrdiff_t(last) + 1);
        first = last + 1;
    }
    return rows;
}

const char *const kNewestFirst = " Order By Event Desc, Id Desc";

}  // namespace

std::vector<HistoryRow> HistoryOf(std::int32_t taskId, std::int32_t entryId)
{
    // A project the user owns or belongs to shows all its rows; only the history of a project no
    // longer there is sifted row by row (the rows the user wrote).
    const bool member = AccessTo(taskId).role != ProjectRole::None;
    QString sql = QStringLiteral("Select %1 From tblHistory Where TaskID=%2 And TableName<>'defHeads'")
                      .arg(QLatin1String(kHistoryColumns)).arg(taskId);
    if (!member)
        sql += QStringLiteral(" And ") + visibleHistory();
    if (entryId != 0)
        sql += QStringLiteral(" And TableName='tblTransaction' And RowKey=%1").arg(entryId);
    return historyRows(sql + QLatin1String(kNewestFirst));
}

std::vector<HistoryRow> HistoryOfOwnProjects()
{
    // A deleted project's rows, and its entries', still name the user as the rows' own.
    return historyRows(QStringLiteral("Select %1 From tblHistory Where TableName<>'defHeads' And (RowUserId=%2 Or "
                                      "TaskID In (Select TaskID From tblTasks Where UserId=%2))")
                           .arg(QLatin1String(kHistoryColumns), me()) +
                       QLatin1String(kNewestFirst));
}

std::int64_t Restore(std::int64_t event)
{
    const Event e = readEvent(event);
    if (e.table == QLatin1String("tblTransaction")) {
        const ProjectRole role = AccessTo(e.taskId).role;
        if (role != ProjectRole::Owner && role != ProjectRole::Editor)
            throw SqlError(QStringLiteral("Only the project's owner or an editor may restore its entries."));
        if (e.kind == QLatin1String("Deleted"))
            return insertAgain(e, QStringLiteral("Id"));
        if (e.kind == QLatin1String("Changed"))
            return changeBack(e, QStringLiteral("Id"));
    } else if (e.table == QLatin1String("tblTasks")) {
        if (e.kind == QLatin1String("Deleted")) {
            if (CurrentUserId.isEmpty() || e.rowUser.compare(CurrentUserId, Qt::CaseInsensitive) != 0)
                throw SqlError(QStringLiteral("Only the project's owner may restore it."));
            return insertAgain(e, QStringLiteral("TaskID"));
        }
        if (e.kind == QLatin1String("Changed")) {
            if (AccessTo(e.taskId).role != ProjectRole::Owner)
                throw SqlError(QStringLiteral("Only the project's owner may restore it."));
            return changeBack(e, QStringLiteral("TaskID"));
        }
    }
    throw SqlError(QStringLiteral("This change cannot be restored: only a deleted or changed entry or project can be."));
}
