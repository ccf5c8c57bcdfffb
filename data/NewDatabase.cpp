#include "data/NewDatabase.h"

#include "data/Engine.h"
#include "data/MyFun.h"

#include <QDate>
#include <QFile>
#include <QStringList>

namespace {

// Login and owner names compare without regard to letter case; passwords exactly.
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
CREATE INDEX ixTransactionsByTask ON tblTransaction (TaskID, TransactionDate, Id);
CREATE INDEX ixTransactionsByHead ON tblTransaction (HeadId);
CREATE INDEX ixHeadsByUser ON defHeads (UserId);
)SQL";

struct DemoHead { const char *name; int plusMinus; };
const DemoHead kDemoHeads[] = {
    {"Client payment", 0}, {"Grant", 0}, {"Materials", 1}, {"Labour", 1}, {"Travel", 1}, {"Equipment hire", 1},
};

struct DemoTask { const char *name; int status; const char *start; double planned; const char *notes; };
const DemoTask kDemoTasks[] = {
    {"Garden shed", 3, "2026-03-02", 2500, "Timber frame, felt roof"},
    {"Kitchen refit", 2, "2026-05-18", 12000, "Cabinets ordered in May"},
    {"Community fair stall", 5, "2026-06-06", 400, "Fair on 20 June"},
};

QString q(const QString &text) { return QuoteSql(text); }

void addDemoData(Connection &db)
{
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
                                  "CostUpToNow,CostPlanned,Notes) VALUES (%1,'demo',%2,%3,'%4',NULL,%5,%6,%7)")
                       .arg(taskId).arg(t.status).arg(q(QString::fromUtf8(t.name))).arg(start.toString(Qt::ISODate))
                       .arg(FormatFixed2(in - out)).arg(FormatNumber(t.planned)).arg(q(QString::fromUtf8(t.notes))));
    }
}

}  // namespace

QStringList StatusNames()
{
    return {QStringLiteral("All"), QStringLiteral("New"), QStringLiteral("Running"), QStringLiteral("On Hold"),
            QStringLiteral("Finished"), QStringLiteral("Cancelled")};
}

void CreateDatabaseFile(const QString &path, bool demo)
{
    std::unique_ptr<Connection> db = Connection::CreateFile(path, QString::fromLatin1(kDatabasePassword));
    try {
        db->ExecuteScript(QStringLiteral("BEGIN;"));
        db->ExecuteScript(QString::fromLatin1(kSchema));
        const QStringList names = StatusNames();
        for (int i = 0; i < names.size(); ++i)
            db->Execute(QStringLiteral("INSERT INTO tblStatus (StatusID,StatusName) VALUES (%1,%2)")
                            .arg(i + 1).arg(q(names[i])));
        if (demo)
            addDemoData(*db);
        db->ExecuteScript(QStringLiteral("COMMIT;"));
    } catch (...) {
        db.reset();
        QFile::remove(path);
        throw;
    }
}
