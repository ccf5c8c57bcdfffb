#include "data/NewDatabase.h"

#include "data/Engine.h"
#include "data/MyFun.h"
#include "data/Passwords.h"

#include <QDate>
#include <QFile>
#include <QSet>
#include <QStringList>

#include <algorithm>

#include "version.h"

namespace {

// The first layout of the file (schema version 1, which files of that version record as 0); later
// versions are reached from it by the steps below, so a new file and an upgraded one are the same.
// Login and owner names compare without regard to letter case; passwords exactly. A project's
// entries are found by their index in date order, and their totals are summed from it alone.
const char *const kSchema = R"SQL(
CREATE TABLE tblUsers (
    Id INTEGER PRIMARY KEY,
    UserId TEXT COLLATE NOCASE UNIQUE,
    Passwd TEXT COLLATE BINARY
);
CREATE TABLE tblStatus (
    StatusID INTEGER PRIMARY KEY,
    StatusName TEXT
);
CREATE TABLE tblTasks (
    TaskID INTEGER PRIMARY KEY,
    UserId TEXT COLLATE NOCASE,
    StatusID INTEGER,
    TaskName TEXT,
    StartDate DATE,
    EndDate DATE,
    CostUpToNow DOUBLE,
    CostPlanned DOUBLE,
    Notes TEXT
);
CREATE TABLE tblTransaction (
    Id INTEGER PRIMARY KEY,
    UserId TEXT COLLATE NOCASE,
    TransactionDate DATE,
    HeadId INTEGER,
    AmountIn DOUBLE,
    AmountOut DOUBLE,
    Remarks TEXT,
    TaskID INTEGER
);
CREATE TABLE defHeads (
    Id INTEGER PRIMARY KEY,
    Heads TEXT,
    PlusMinus INTEGER,
    UserId TEXT COLLATE NOCASE
);
CREATE INDEX ixTasksByUser ON tblTasks (UserId, StartDate, CostUpToNow);
CREATE INDEX ixTransactionsByTask ON tblTransaction (TaskID, UserId, TransactionDate, Id, AmountIn, AmountOut);
CREATE INDEX ixTransactionsByHead ON tblTransaction (HeadId);
CREATE INDEX ixHeadsByUser ON defHeads (UserId);
)SQL";

// The steps from one version of the file to the next: the step at index i makes version i + 2.
// Each runs inside the one transaction that upgrades the file.
const char *const kFileUpgrades[] = {
    // 2: settings of the whole file, such as the master login's password (as a hash).
    "CREATE TABLE tblSettings (Name TEXT COLLATE NOCASE PRIMARY KEY, Value TEXT);",
    // 3: imported entries. Each import into a project is a batch; each entry it wrote keeps the
    // bank's id and the line's fingerprint (so an overlapping statement is recognised) and a stamp
    // of its values as written (so later edits are seen before an undo). The user's rules that
    // choose a head from the remarks, in order, and the user's saved table mappings.
    "CREATE TABLE tblImportBatches (Id INTEGER PRIMARY KEY, UserId TEXT COLLATE NOCASE, TaskID INTEGER,"
    " FileName TEXT, FileSha256 TEXT, ImportedAt TEXT, EntryCount INTEGER);"
    "CREATE TABLE tblImportedEntries (BatchId INTEGER, UserId TEXT COLLATE NOCASE, ActionId INTEGER,"
    " BankId TEXT, Fingerprint TEXT, Stamp TEXT);"
    "CREATE TABLE tblImportRules (UserId TEXT COLLATE NOCASE, Position INTEGER, Contains TEXT, HeadId INTEGER);"
    "CREATE TABLE tblImportProfiles (UserId TEXT COLLATE NOCASE, Name TEXT, Shape TEXT, Mapping TEXT);"
    "CREATE INDEX ixImportBatchesByTask ON tblImportBatches (TaskID, UserId);"
    "CREATE INDEX ixImportedEntriesByBatch ON tblImportedEntries (BatchId, UserId);"
    "CREATE INDEX ixImportRulesByUser ON tblImportRules (UserId, Position);"
    "CREATE INDEX ixImportProfilesByUser ON tblImportProfiles (UserId, Name);"
    "CREATE INDEX ixImportedEntriesByAction ON tblImportedEntries (ActionId);",
    // 4: projects shared with members, and the history of every change of projects, entries, heads
    // and memberships (written by the triggers of FileHistoryTriggers, added after this step).
    // RowUserId is the changed row's own user, so that a deleted row's owner still finds its history.
    "CREATE TABLE tblMembers (TaskID INTEGER, UserId TEXT COLLATE NOCASE, Role TEXT);"
    "CREATE TABLE tblHistory (Id INTEGER PRIMARY KEY, Event INTEGER, ChangedAt TEXT, ChangedBy TEXT, TableName TEXT,"
    " RowKey INTEGER, TaskID INTEGER, Kind TEXT, ColumnName TEXT, OldValue TEXT, NewValue TEXT,"
    " RowUserId TEXT COLLATE NOCASE);"
    "CREATE UNIQUE INDEX ixMembersByTask ON tblMembers (TaskID, UserId);"
    "CREATE INDEX ixMembersByUser ON tblMembers (UserId, TaskID);"
    "CREATE INDEX ixHistoryByTask ON tblHistory (TaskID, Event);"
    "CREATE INDEX ixHistoryByRow ON tblHistory (TableName, RowKey);"
    "CREATE INDEX ixHistoryByEvent ON tblHistory (Event);",
    // 5: projects planned by their heads. Each saved plan is a revision of its project (the first,
    // 0, is the baseline) with one row a planned head; rows are only ever added, and go with their
    // project (the triggers of FilePlanTriggers, added after this step). A project's spending under
    // one head is summed from the index of its entries by head alone.
    "CREATE TABLE tblBudgetRevisions (TaskID INTEGER, Revision INTEGER, SavedAt TEXT, SavedBy TEXT,"
    " UserId TEXT COLLATE NOCASE);"
    "CREATE TABLE tblHeadBudgets (TaskID INTEGER, Revision INTEGER, HeadId INTEGER, Planned DOUBLE,"
    " UserId TEXT COLLATE NOCASE);"
    "CREATE UNIQUE INDEX ixBudgetRevisionsByTask ON tblBudgetRevisions (TaskID, Revision);"
    "CREATE UNIQUE INDEX ixHeadBudgetsByRevision ON tblHeadBudgets (TaskID, Revision, HeadId);"
    "CREATE INDEX ixTransactionsByTaskHead ON tblTransaction (TaskID, HeadId, UserId, AmountOut);",
};
static_assert(sizeof kFileUpgrades / sizeof *kFileUpgrades == kFileSchemaVersion - 1,
              "one upgrade step for each version after the first");

struct DemoHead { const char *name; int plusMinus; };
const DemoHead kDemoHeads[] = {
    {"Client payment", 0}, {"Grant", 0}, {"Materials", 1}, {"Labour", 1}, {"Travel", 1}, {"Equipment hire", 1},
};

struct DemoTask { const char *name; int status; const char *start; const char *end; double planned; const char *notes; };
const DemoTask kDemoTasks[] = {
    {"Garden shed", 3, "2026-03-02", nullptr, 2500, "Timber frame, felt roof"},
    {"Kitchen refit", 2, "2026-05-18", "2027-03-31", 12000, "Cabinets ordered in May"},
    {"Community fair stall", 5, "2026-06-06", nullptr, 400, "Fair on 20 June"},
};

// The demo's plans by head: a project, a revision with when it was saved, and the amounts of the
// heads Materials, Labour, Travel and Equipment hire (ids 3 to 6). The garden shed's revision
// moved money to labour and left travel under what it has spent since.
struct DemoPlan { int task; int revision; const char *savedAt; double amounts[4]; };
const DemoPlan kDemoPlans[] = {
    {1, 0, "2026-03-02T09:00:00Z", {1200, 900, 100, 300}},
    {1, 1, "2026-04-14T16:30:00Z", {1100, 1000, 80, 320}},
    {2, 0, "2026-05-18T10:15:00Z", {6000, 4500, 500, 1000}},
};

QString q(const QString &text) { return QuoteSql(text); }

}  // namespace

void AddDemoData(Connection &db, bool withUserRow)
{
    if (withUserRow)
        db.Execute(QStringLiteral("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'demo','demo')"));
    int headId = 0;
    for (const DemoHead &h : kDemoHeads)
        db.Execute(QStringLiteral("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (%1,%2,%3,'demo')")
                       .arg(++headId).arg(q(QString::fromUtf8(h.name))).arg(h.plusMinus));

    // A few dozen entries spread over the projects, income and expense mixed.
    int entryId = 0;
    int taskId = 0;
    for (const DemoTask &t : kDemoTasks) {
        ++taskId;
        const QDate start = QDate::fromString(QString::fromLatin1(t.start), Qt::ISODate);
        double in = 0, out = 0;
        const int entries = 8 + 4 * taskId;
        for (int i = 0; i < entries; ++i) {
            const int head = 1 + (i * 5 + taskId) % 6;
            const bool income = kDemoHeads[head - 1].plusMinus == 0;
            const double amount = income ? 150.0 * ((i % 4) + 1) + 0.5 * taskId : 12.75 * ((i % 7) + 1) + taskId;
            (income ? in : out) += amount;
            const QString date = start.addDays(i * 3).toString(Qt::ISODate);
            db.Execute(QStringLiteral("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,"
                                      "AmountOut,Remarks,TaskID) VALUES (%1,'demo','%2',%3,%4,%5,%6,%7)")
                           .arg(++entryId).arg(date).arg(head)
                           .arg(FormatNumber(income ? amount : 0)).arg(FormatNumber(income ? 0 : amount))
                           .arg(q(QStringLiteral("%1 #%2").arg(QString::fromUtf8(kDemoHeads[head - 1].name)).arg(i + 1)))
                           .arg(taskId));
        }
        db.Execute(QStringLiteral("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,"
                                  "CostUpToNow,CostPlanned,Notes) VALUES (%1,'demo',%2,%3,'%4',%8,%5,%6,%7)")
                       .arg(taskId).arg(t.status).arg(q(QString::fromUtf8(t.name))).arg(start.toString(Qt::ISODate))
                       .arg(FormatFixed2(in - out)).arg(FormatNumber(t.planned)).arg(q(QString::fromUtf8(t.notes)))
                       .arg(t.end ? QStringLiteral("'%1'").arg(QLatin1String(t.end)) : QStringLiteral("NULL")));
    }
}

void AddDemoPlans(Connection &db)
{
    for (const DemoPlan &p : kDemoPlans) {
        db.Execute(QStringLiteral("INSERT INTO tblBudgetRevisions (TaskID,Revision,SavedAt,SavedBy,UserId) "
                                  "VALUES (%1,%2,'%3','demo','demo')")
                       .arg(p.task).arg(p.revision).arg(QLatin1String(p.savedAt)));
        for (int i = 0; i < 4; ++i)
            db.Execute(QStringLiteral("INSERT INTO tblHeadBudgets (TaskID,Revision,HeadId,Planned,UserId) "
                                      "VALUES (%1,%2,%3,%4,'demo')")
                           .arg(p.task).arg(p.revision).arg(3 + i).arg(FormatNumber(p.amounts[i])));
    }
}

namespace {

// The largest file the keys allow: one user owning 32,767 projects, the first of which holds
// 32,766 entries (one key is left, so that a Save still works).
const char *const kLargeData = R"SQL(
INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'large','large');
INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'large');
INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (2,'Supplies',1,'large');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32767)
INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,Notes)
SELECT i, 'large', 2 + i % 5, 'Project ' || i, date('2020-01-01', '+' || (i % 2500) || ' days'), NULL, 0,
       1000 + i % 9000, ' ' FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 32766)
INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID)
SELECT i, 'large', date('2020-01-01', '+' || (i / 13) || ' days'), 1 + i % 2,
       CASE WHEN i % 2 = 0 THEN 100 + i % 700 ELSE 0 END, CASE WHEN i % 2 = 1 THEN 20.5 + i % 300 ELSE 0 END,
       'Entry ' || i, 1 FROM n;
UPDATE tblTasks SET CostUpToNow = (SELECT round(sum(AmountIn) - sum(AmountOut), 2) FROM tblTransaction
                                   WHERE TaskID = 1) WHERE TaskID = 1;
)SQL";

// A team's database: one user owning 100,000 projects and 1,000,000 entries, 200,000 of them in
// project 1 and 8 or 9 in each of the others.
const char *const kHugeData = R"SQL(
INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'huge','huge');
INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'huge');
INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (2,'Supplies',1,'huge');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)
INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,Notes)
SELECT i, 'huge', 2 + i % 5, 'Project ' || i, date('2020-01-01', '+' || (i % 2500) || ' days'), NULL, 0,
       1000 + i % 9000, ' ' FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID)
SELECT i, 'huge', date('2020-01-01', '+' || (CASE WHEN i <= 200000 THEN i / 80 ELSE i % 3000 END) || ' days'),
       1 + i % 2, CASE WHEN i % 2 = 0 THEN 100 + i % 700 ELSE 0 END,
       CASE WHEN i % 2 = 1 THEN 20.5 + i % 300 ELSE 0 END, 'Entry ' || i,
       CASE WHEN i <= 200000 THEN 1 ELSE 2 + (i - 200001) % 99999 END FROM n;
UPDATE tblTasks SET CostUpToNow = (SELECT round(sum(AmountIn) - sum(AmountOut), 2) FROM tblTransaction
                                   WHERE TaskID = 1) WHERE TaskID = 1;
)SQL";

// The covering index of a project's entries had fewer columns in files made before it was widened.
const char *const kEarlierIndexes[] = {
    "CREATE INDEX ixTransactionsByTask ON tblTransaction (TaskID, TransactionDate, Id)",
};

const char *const kOwnTables[] = {"tblUsers",         "tblStatus",          "tblTasks",
                                  "tblTransaction",   "defHeads",           "tblSettings",
                                  "tblImportBatches", "tblImportedEntries", "tblImportRules",
                                  "tblImportProfiles", "tblMembers",        "tblHistory",
                                  "tblBudgetRevisions", "tblHeadBudgets"};

// A statement text with its blanks made uniform and its letters small, so that the same
// definition compares equal however it was laid out.
QString normalized(const QString &sql)
{
    QString out;
    bool blank = false;
    for (const QChar c : sql) {
        if (c.isSpace()) {
            blank = true;
            continue;
        }
        const bool punctuation = c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char(',');
        if (blank && !punctuation && !out.isEmpty() && !out.endsWith(QLatin1Char('(')) && !out.endsWith(QLatin1Char(',')))
            out += QLatin1Char(' ');
        blank = false;
        out += c.toLower();
    }
    return out;
}

const QSet<QString> &ownDefinitions()
{
    static const QSet<QString> definitions = [] {
        QSet<QString> set;
        for (const QString &statement : QString::fromLatin1(kSchema).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!statement.trimmed().isEmpty())
                set.insert(normalized(statement));
        for (const char *earlier : kEarlierIndexes)
            set.insert(normalized(QString::fromLatin1(earlier)));
        for (const char *step : kFileUpgrades)
            for (const QString &statement : QString::fromLatin1(step).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                if (!statement.trimmed().isEmpty())
                    set.insert(normalized(statement));
        return set;
    }();
    return definitions;
}

const QSet<QString> &ownTriggers()
{
    static const QSet<QString> triggers = [] {
        QSet<QString> set;
        for (const QString &trigger : FileHistoryTriggers() + FilePlanTriggers())
            set.insert(normalized(trigger));
        return set;
    }();
    return triggers;
}

// The columns of each table whose changes are recorded, in the table's order; the first is its key.
struct Recorded {
    const char *table;
    const char *key;
    std::initializer_list<const char *> columns;
};
const Recorded kRecorded[] = {
    {"tblTasks", "TaskID",
     {"TaskID", "UserId", "StatusID", "TaskName", "StartDate", "EndDate", "CostUpToNow", "CostPlanned", "Notes"}},
    {"tblTransaction", "Id", {"Id", "UserId", "TransactionDate", "HeadId", "AmountIn", "AmountOut", "Remarks", "TaskID"}},
    {"defHeads", "Id", {"Id", "Heads", "PlusMinus", "UserId"}},
    {"tblMembers", "TaskID", {"TaskID", "UserId", "Role"}},
};

// A value as the history keeps it: text, a whole amount without ".0" (as the server writes it).
QString asHistoryText(const QString &value)
{
    return QStringLiteral("CASE WHEN typeof(%1)='real' AND %1=CAST(%1 AS INTEGER) AND abs(%1)<1e15 "
                          "THEN CAST(CAST(%1 AS INTEGER) AS TEXT) ELSE CAST(%1 AS TEXT) END").arg(value);
}

}  // namespace

QStringList FileHistoryTriggers()
{
    QStringList triggers;
    for (const Recorded &r : kRecorded) {
        const QString table = QString::fromLatin1(r.table);
        const bool head = table == QLatin1String("defHeads");
        for (const char *op : {"INSERT", "UPDATE", "DELETE"}) {
            const QString which = QString::fromLatin1(op);
            const QString row = which == QLatin1String("DELETE") ? QStringLiteral("OLD") : QStringLiteral("NEW");
            const QString kind = which == QLatin1String("INSERT")   ? QStringLiteral("Added")
                                 : which == QLatin1String("UPDATE") ? QStringLiteral("Changed")
                                                                    : QStringLiteral("Deleted");
            QStringList columns;
            int position = 0;
            for (const char *c : r.columns) {
                const QString column = QString::fromLatin1(c);
                const QString before = which == QLatin1String("INSERT") ? QStringLiteral("NULL")
                                                                        : asHistoryText(QStringLiteral("OLD.") + column);
                const QString after = which == QLatin1String("DELETE") ? QStringLiteral("NULL")
                                                                       : asHistoryText(QStringLiteral("NEW.") + column);
                columns << QStringLiteral("SELECT %1 AS p, '%2' AS c, %3 AS o, %4 AS n%5")
                               .arg(++position).arg(column, before, after,
                                                    which == QLatin1String("UPDATE")
                                                        ? QStringLiteral(" WHERE OLD.%1 IS NOT NEW.%1").arg(column)
                                                        : QString());
            }
            triggers << QStringLiteral(
                "CREATE TRIGGER qmk_history_%1_%2 AFTER %3 ON %4 FOR EACH ROW BEGIN "
                "INSERT INTO tblHistory (Event,ChangedAt,ChangedBy,TableName,RowKey,TaskID,Kind,ColumnName,OldValue,"
                "NewValue,RowUserId) SELECT e.n,strftime('%Y-%m-%dT%H:%M:%SZ','now'),qmk_user(),'%4',%5.%6,%7,'%8',"
                "v.c,v.o,v.n,%5.UserId FROM (SELECT coalesce(max(Event),0)+1 AS n FROM tblHistory) e, (%9) v "
                "ORDER BY v.p; END")
                            .arg(table.toLower(), which.toLower(), which, table, row, QString::fromLatin1(r.key),
                                 head ? QStringLiteral("0") : row + QStringLiteral(".TaskID"), kind,
                                 columns.join(QStringLiteral(" UNION ALL ")));
        }
    }
    // A deleted project's memberships go with it: a later project given the same number must not
    // open to the members of the one deleted.
    triggers << QStringLiteral("CREATE TRIGGER qmk_members_of_deleted AFTER DELETE ON tblTasks FOR EACH ROW BEGIN "
                               "DELETE FROM tblMembers WHERE TaskID = OLD.TaskID; END");
    return triggers;
}

QStringList FilePlanTriggers()
{
    QStringList triggers;
    // A deleted project's plan goes with it: a later project given the same number starts unplanned.
    triggers << QStringLiteral("CREATE TRIGGER qmk_plan_of_deleted AFTER DELETE ON tblTasks FOR EACH ROW BEGIN "
                               "DELETE FROM tblHeadBudgets WHERE TaskID = OLD.TaskID; "
                               "DELETE FROM tblBudgetRevisions WHERE TaskID = OLD.TaskID; END");
    // A saved revision is what was planned then: it is never changed, nor deleted while its project is there.
    for (const char *table : {"tblBudgetRevisions", "tblHeadBudgets"}) {
        const QString name = QString::fromLatin1(table);
        triggers << QStringLiteral("CREATE TRIGGER qmk_plan_kept_%1_update BEFORE UPDATE ON %2 FOR EACH ROW BEGIN "
                                   "SELECT RAISE(ABORT, 'A saved plan cannot be changed.'); END")
                        .arg(name.toLower(), name)
                 << QStringLiteral("CREATE TRIGGER qmk_plan_kept_%1_delete BEFORE DELETE ON %2 FOR EACH ROW WHEN "
                                   "EXISTS (SELECT 1 FROM tblTasks WHERE TaskID = OLD.TaskID) BEGIN "
                                   "SELECT RAISE(ABORT, 'A saved plan goes only with its project.'); END")
                        .arg(name.toLower(), name);
    }
    return triggers;
}

bool IsOwnSchemaObject(const QString &type, const QString &name, const QString &sql)
{
    if (!sql.isEmpty() && type == QLatin1String("trigger"))
        return ownTriggers().contains(normalized(sql));
    if (!sql.isEmpty())
        return (type == QLatin1String("table") || type == QLatin1String("index")) &&
               ownDefinitions().contains(normalized(sql));
    // The engine's own index of a UNIQUE column has no statement text.
    if (type != QLatin1String("index"))
        return false;
    for (const char *table : kOwnTables) {
        const QString prefix = QStringLiteral("sqlite_autoindex_") + QLatin1String(table) + QLatin1Char('_');
        if (name.startsWith(prefix, Qt::CaseInsensitive)) {
            bool number = false;
            name.mid(prefix.size()).toInt(&number);
            return number;
        }
    }
    return false;
}

QStringList StatusNames()
{
    return {QStringLiteral("All"), QStringLiteral("New"), QStringLiteral("Running"), QStringLiteral("On Hold"),
            QStringLiteral("Finished"), QStringLiteral("Cancelled")};
}

QString SampleUser(Sample sample)
{
    switch (sample) {
    case Sample::Demo: return QStringLiteral("demo");
    case Sample::Large: return QStringLiteral("large");
    case Sample::Huge: return QStringLiteral("huge");
    case Sample::None: break;
    }
    return {};
}

void CreateDatabaseFile(const QString &path, bool demo) { CreateDatabaseFile(path, demo ? Sample::Demo : Sample::None); }

QString QuotedProgramName()
{
    return q(QStringLiteral("Quillmark %1.%2.%3").arg(QM_VERSION_MAJOR).arg(QM_VERSION_MINOR).arg(QM_VERSION_REVISION));
}

QStringList FileUpgradeSteps(int fromVersion)
{
    QStringList steps;
    for (int v = std::max(fromVersion, 1); v < kFileSchemaVersion; ++v) {
        steps << QString::fromLatin1(kFileUpgrades[v - 1]);
        // The history's triggers hold ';' inside them: they are kept apart from the steps' tables.
        if (v + 1 == 4)
            steps.back() += FileHistoryTriggers().join(QLatin1Char(';')) + QLatin1Char(';');
        if (v + 1 == 5)
            steps.back() += FilePlanTriggers().join(QLatin1Char(';')) + QLatin1Char(';');
    }
    return steps;
}

void CreateDatabaseFile(const QString &path, Sample sample) { CreateDatabaseFile(path, sample, kFileSchemaVersion); }

void CreateDatabaseFile(const QString &path, Sample sample, int version)
{
    std::unique_ptr<Connection> db = Connection::CreateFile(path, QString::fromLatin1(kDatabasePassword));
    try {
        db->ExecuteScript(QStringLiteral("BEGIN;"));
        db->ExecuteScript(QString::fromLatin1(kSchema));
        const QStringList names = StatusNames();
        for (int i = 0; i < names.size(); ++i)
            db->Execute(QStringLiteral("INSERT INTO tblStatus (StatusID,StatusName) VALUES (%1,%2)")
                            .arg(i + 1).arg(q(names[i])));
        if (sample == Sample::Demo)
            AddDemoData(*db, true);
        else if (sample == Sample::Large)
            db->ExecuteScript(QString::fromLatin1(kLargeData));
        else if (sample == Sample::Huge)
            db->ExecuteScript(QString::fromLatin1(kHugeData));
        if (version >= 2) {
            // The sample user's password, known to all, is kept as a hash like any other.
            if (sample != Sample::None)
                db->Execute(QStringLiteral("UPDATE tblUsers SET Passwd=%1 WHERE Id=1")
                                .arg(q(HashPassword(SampleUser(sample)))));
            for (const QString &step : FileUpgradeSteps(1).mid(0, version - 1))
                db->ExecuteScript(step);
            db->Execute(QStringLiteral("INSERT INTO tblSettings (Name,Value) VALUES ('Program',%1)").arg(QuotedProgramName()));
            db->ExecuteScript(QStringLiteral("PRAGMA user_version=%1;").arg(version));
        }
        if (sample == Sample::Demo && version >= 5)
            AddDemoPlans(*db);
        db->ExecuteScript(QStringLiteral("COMMIT;"));
    } catch (...) {
        db.reset();
        QFile::remove(path);
        throw;
    }
}
