// The engine behind CTemplate: the statement dialect, cursors, text comparison and opening files.
#include "TestSupport.h"

#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

class DataEngine : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
    }
    CTemplate dao;
};

const char *const kEntry =
    "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) "
    "VALUES (%1,'ann',%2,1,10,0,%3,3)";

QString entry(int id, const QString &date, const QString &remark = QStringLiteral("' '"))
{
    return QString::fromLatin1(kEntry).arg(id).arg(date, remark);
}

}  // namespace

TEST_F(DataEngine, DateLiteralsAreStoredAsIsoAndReadBackAsDates)
{
    const QString remark = QuoteSql(QStringLiteral("paid #1/2/2026# <<>> cash, O'Neil"));
    const QString sql = entry(1, "#5/1/2026#", remark);
    dao.ExecuteSql(sql);
    dao.ExecuteSql(entry(2, "#12/10/2026#"));
    dao.ExecuteSql(entry(3, "#31/12/2025#"));
    // The log holds the statement as composed, before the rewrite.
    ASSERT_EQ(Statements().size(), 3);
    EXPECT_EQ(Statements()[0], sql);

    EXPECT_EQ(Scalar("Select TransactionDate||'' from tblTransaction where Id=1"), "2026-01-05");
    EXPECT_EQ(Scalar("Select Remarks from tblTransaction where Id=1"), "paid #1/2/2026# <<>> cash, O'Neil");

    dao.ExecuteSql("Select * from tblTransaction Where UserId='ann' and TaskID =3 Order by TransactionDate,Id");
    QStringList order;
    for (; !SharedRecordset->Eof(); SharedRecordset->MoveNext()) {
        const Variant d = SharedRecordset->Fields("TransactionDate");
        EXPECT_EQ(d.type(), Variant::Type::Date);
        order << d.toString();
    }
    // Dates sort as dates, not as day-first text.
    EXPECT_EQ(order, QStringList({"31/12/2025", "05/01/2026", "12/10/2026"}));

    // A date literal in a condition compares with stored dates.
    EXPECT_EQ(Column("Select Id from tblTransaction Where TransactionDate < #1/2/2026# Order by Id"),
              QStringList({"1", "3"}));
}

TEST_F(DataEngine, RejectedStatementsWriteNothingAndKeepTheCurrentResult)
{
    dao.ExecuteSql("Select StatusID,StatusName from tblStatus");
    const std::shared_ptr<Recordset> before = SharedRecordset;
    before->MoveNext();

    const char *const rejected[] = {
        // An impossible date.
        ("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) "
         "VALUES (1,'ann',#31/02/2026#,1,10,0,' ',3)"),
        // A second statement after ";" is refused, and the first one is not run either.
        "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Fuel',1,'ann'); DELETE FROM tblStatus",
        "Select * from tblNowhere",
        "Select nothing",
        "",
    };
    for (const char *sql : rejected) {
        try {
            dao.ExecuteSql(QString::fromLatin1(sql));
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const SqlError &e) {
            EXPECT_FALSE(e.description().isEmpty()) << sql;
        }
        EXPECT_EQ(SharedRecordset, before) << sql;
    }
    EXPECT_EQ(Scalar("Select count(*) from tblTransaction"), "0");
    EXPECT_EQ(Scalar("Select count(*) from defHeads"), "0");
    EXPECT_EQ(Scalar("Select count(*) from tblStatus"), QString::number(StatusNames().size()));
    // The cursor the caller was walking is still where it was.
    EXPECT_EQ(before->Fields(0).toString(), "2");

    // A statement that ends in a ";" alone is one statement.
    dao.ExecuteSql("Select StatusName from tblStatus Where StatusID=1;");
    EXPECT_EQ(SharedRecordset->Fields(0).toString(), "All");
}

TEST_F(DataEngine, ColumnsAndTablesMatchInAnyLetterCase)
{
    dao.ExecuteSql("INSERT INTO defheads (id,heads,plusminus,userid) VALUES (1,'Fuel',0,'ann')");
    dao.ExecuteSql("Update DEFHEADS Set PlusMinus=1 where ID=1");
    dao.ExecuteSql("Select * from defHeads where id=1");
    const Recordset &rs = *SharedRecordset;
    EXPECT_EQ(rs.Fields("userid").toString(), "ann");
    EXPECT_EQ(rs.Fields("USERID").toString(), "ann");
    EXPECT_EQ(rs.Fields("UserId").toString(), "ann");
    EXPECT_EQ(rs.Fields("plusminus").toInt64(), 1);
    EXPECT_EQ(rs.Fields("PlusMinus").toInt64(), 1);

    dao.ExecuteSql(entry(1, "#5/1/2026#"));
    dao.ExecuteSql("Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='ANN' and TaskID =3");
    EXPECT_EQ(SharedRecordset->Fields(0).toString(), "10");
    EXPECT_EQ(SharedRecordset->Fields(1).toString(), "0");
}

TEST_F(DataEngine, CursorReadsByPositionAndRefusesWhatIsNotThere)
{
    dao.ExecuteSql("Select * from tblStatus");
    const std::shared_ptr<Recordset> rs = SharedRecordset;
    ASSERT_EQ(rs->FieldCount(), 2);
    EXPECT_EQ(rs->Fields(0).toInt64(), 1);
    EXPECT_EQ(rs->Fields(1).toString(), "All");
    EXPECT_THROW(rs->Fields(2), SqlError);
    EXPECT_THROW(rs->Fields(-1), SqlError);
    EXPECT_THROW(rs->Fields("NoSuchColumn"), SqlError);
    int rows = 0;
    for (; !rs->Eof(); rs->MoveNext())
        ++rows;
    EXPECT_EQ(rows, StatusNames().size());
    EXPECT_THROW(rs->Fields(0), SqlError);
    EXPECT_THROW(rs->MoveNext(), SqlError);
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("statusname").toString(), "All");

    // An empty result is at its end at once.
    dao.ExecuteSql("Select * from tblStatus Where StatusID=99");
    EXPECT_TRUE(SharedRecordset->Eof());

    // A statement that returns no rows leaves a closed cursor that cannot be read.
    dao.ExecuteSql("Delete from tblStatus Where StatusID=99");
    ASSERT_TRUE(SharedRecordset);
    EXPECT_TRUE(SharedRecordset->IsClosed());
    EXPECT_THROW(SharedRecordset->Eof(), SqlError);
    EXPECT_THROW(SharedRecordset->Fields(0), SqlError);
    EXPECT_THROW(SharedRecordset->MoveNext(), SqlError);
}

TEST_F(DataEngine, NamesMatchWithoutCaseButPasswordsExactly)
{
    Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'Ann','Secret')");
    EXPECT_EQ(Column("Select * from tblUsers Where UserId='ANN' And Passwd='Secret'").size(), 1);
    EXPECT_EQ(Column("Select * from tblUsers Where UserId='ann' And Passwd='secret'").size(), 0);
    EXPECT_EQ(Column("Select * from tblUsers Where UserId='ann' And Passwd='Secret '").size(), 0);
    // Two names that differ only in case cannot both exist.
    EXPECT_THROW(dao.ExecuteSql("INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (2,'ANN','x')"), SqlError);
    EXPECT_EQ(Scalar("Select count(*) from tblUsers"), "1");
}

TEST_F(DataEngine, NumbersRoundTripUnderACommaLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    dao.ExecuteSql(entry(1, "#5/1/2026#").replace(",10,0,", "," + FormatNumber(0.1 + 0.2) + ",0,"));
    dao.ExecuteSql("Update tblTasks Set CostUpToNow=" + FormatFixed2(-1234.5) + " Where TaskID =1");
    dao.ExecuteSql("Select AmountIn from tblTransaction Where Id=1");
    const Variant in = SharedRecordset->Fields(0);
    QLocale::setDefault(previous);
    EXPECT_EQ(in.type(), Variant::Type::Double);
    EXPECT_DOUBLE_EQ(in.toDouble(), 0.3);
    EXPECT_EQ(in.toString(), "0.3");
}

TEST_F(DataEngine, TheProgramsFixedStatementsAreAccepted)
{
    Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann','pw')");
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (3,'Fuel',1,'ann')");
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,Notes) "
         "VALUES (4,'ann',2,'Roof','2026-01-05',NULL,0,100,' ')");
    Seed(entry(5, "'2026-01-06'").replace(",1,10,0,", ",3,0,10,").replace(",3)", ",4)"));
    const char *const statements[] = {
        "Select * from tblUsers Where UserId='ann' And Passwd='pw'",
        "Select * from tblUsers where UserId='ann'",
        "Select max(Id) From tblTransaction",
        "Select * from tblTasks Where UserId='ann' And StatusID=2 Order by StartDate,CostUpToNow",
        "Select StatusName,StatusID From tblStatus",
        "Select StatusName From tblStatus Where StatusID=2",
        "Select Heads,Id From defHeads Where UserId='ann'",
        "Select * from tblTransaction Where UserId='ann' and TaskID =4 Order by TransactionDate,Id",
        "Select Heads From defHeads Where Id=3",
        "Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='ann' and TaskID =4",
        "Update tblTasks Set CostUpToNow=-10.00 Where TaskID =4",
        "Select PlusMinus from defHeads Where Id=3",
        "Select TaskName,TaskID From tblTasks Where UserId='ann'",
        "Select * from tblTasks where TaskID=4",
        "Select StatusID From tblStatus Where StatusID=2",
        "Select * from defHeads where id=3",
        ("SELECT DISTINCT (tblTasks.TaskName) FROM tblTransaction INNER JOIN tblTasks ON "
         "tblTasks.TaskID=tblTransaction.TaskID WHERE tblTransaction.HeadId=3"),
        "Delete from tblTransaction Where Id=5",
        "Delete from tblTasks Where TaskID=4",
        "Delete from defHeads where id=3",
    };
    for (const char *sql : statements) {
        EXPECT_NO_THROW(dao.ExecuteSql(QString::fromLatin1(sql))) << sql;
        // The join names its one column qualified; it is read by position.
        if (QByteArray(sql).startsWith("SELECT DISTINCT")) {
            ASSERT_FALSE(SharedRecordset->Eof());
            EXPECT_EQ(SharedRecordset->Fields(0).toString(), "Roof");
        }
    }
    for (const char *table : {"tblTasks", "defHeads", "tblTransaction"})
        EXPECT_EQ(Scalar(QStringLiteral("Select count(*) from ") + table), "0") << table;
}

// ---- Opening the database file ----

class DataOpening : public ProgramFolderTest {
protected:
    CTemplate dao;
    const QString password = QString::fromLatin1(kDatabasePassword);

    // Opens path and expects exactly one "Error" box and a closed connection.
    QString FailToOpen(const QString &path, const QString &pw)
    {
        boxes.Forget();
        boxes.Expect();
        dao.dataIntialize(path, QString(), pw, QString());
        EXPECT_EQ(boxes.Count(), 1);
        EXPECT_FALSE(SharedConnection.IsOpen());
        if (boxes.Count() != 1)
            return {};
        const ui::MessageBoxRequest &box = boxes.Shown().front();
        EXPECT_EQ(box.title, "Error");
        EXPECT_EQ(box.icon, ui::Icon::Critical);
        EXPECT_EQ(box.buttons, ui::Buttons::OKOnly);
        return box.prompt;
    }
};

TEST_F(DataOpening, TheRightPasswordOpensTheFile)
{
    dao.dataIntialize(DatabasePath(), QString(), password, QString());
    ASSERT_TRUE(SharedConnection.IsOpen());
    EXPECT_EQ(Scalar("Select StatusName From tblStatus Where StatusID=1"), "All");
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DataOpening, AMissingFileIsAFailureAndIsNotCreated)
{
    const QString missing = Folder() + "/nothere.dat";
    const QString why = FailToOpen(missing, password);
    EXPECT_TRUE(why.contains("nothere.dat")) << why.toStdString();
    EXPECT_FALSE(QFile::exists(missing));
    // Every later statement fails in its turn.
    EXPECT_THROW(dao.ExecuteSql("Select * from tblStatus"), SqlError);
    EXPECT_FALSE(QFile::exists(missing));
}

TEST_F(DataOpening, AWrongPasswordOrAForeignFileIsAFailureThatLeavesTheFileAlone)
{
    const QByteArray original = BytesOf(DatabasePath());
    const QString why = FailToOpen(DatabasePath(), "not the password");
    EXPECT_TRUE(why.contains("password", Qt::CaseInsensitive)) << why.toStdString();
    EXPECT_EQ(BytesOf(DatabasePath()), original);
    EXPECT_THROW(dao.ExecuteSql("Select * from tblStatus"), SqlError);

    const QString notes = Folder() + "/notes.dat";
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += "These are a few lines of notes, not a database at all.\n";
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    EXPECT_FALSE(FailToOpen(notes, password).isEmpty());
    EXPECT_EQ(BytesOf(notes), text);

    // Neither is a folder, nor an empty file (a copy cut short); the empty file stays empty.
    EXPECT_FALSE(FailToOpen(Folder(), password).isEmpty());
    const QString empty = Folder() + "/empty.dat";
    {
        QFile f(empty);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(FailToOpen(empty, password).isEmpty());
    EXPECT_EQ(QFileInfo(empty).size(), 0);

    // Opening the right file afterwards works.
    dao.dataIntialize(DatabasePath(), QString(), password, QString());
    EXPECT_TRUE(SharedConnection.IsOpen());
}

TEST(DataConnectionText, ThePathRunsToTheNextAttributeOrTheEnd)
{
    const QString head = QStringLiteral("driver={Microsoft Access Driver (*.mdb)};dbq=");
    EXPECT_EQ(DatabasePathOf(head + "/opt/quillmark/qmk.dat"), "/opt/quillmark/qmk.dat");
    EXPECT_EQ(DatabasePathOf(head + "/home/ann/my;apps/qmk.dat"), "/home/ann/my;apps/qmk.dat");
    EXPECT_EQ(DatabasePathOf(head + "/srv/qmk.dat;uid=admin;"), "/srv/qmk.dat");
    EXPECT_EQ(DatabasePathOf(head + "/srv/qmk.dat;"), "/srv/qmk.dat");
    EXPECT_EQ(DatabasePathOf("DBQ=C:/data/qmk.dat"), "C:/data/qmk.dat");
    EXPECT_EQ(DatabasePathOf("driver=x"), "");
}

TEST_F(DataOpening, AProgramFolderWithASemicolonInItsNameOpens)
{
    const QString folder = Folder() + "/my;apps";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(DatabasePath(), folder + "/qmk.dat"));
    dao.dataIntialize(folder + "/qmk.dat", QString(), password, QString());
    EXPECT_TRUE(SharedConnection.IsOpen());
    EXPECT_EQ(boxes.Count(), 0);
}
