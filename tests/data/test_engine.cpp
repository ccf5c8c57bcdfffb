// The engine behind CTemplate: the statement dialect, cursors, text comparison and opening files.
#include "TestSupport.h"

#include "data/NewDatabase.h"

#include <QFile>
#include <QFileInfo>

namespace {

class DataEngine : public ProgramFolderTest {
protected:
    void SetUp() override { ProgramFolderTest::SetUp(); OpenDatabase(); }
    CTemplate dao;
};

QString entry(int id, const QString &date, const QString &remark = QStringLiteral("' '"))
{
    return QStringLiteral("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,"
                          "TaskID) VALUES (%1,'ann',%2,1,10,0,%3,3)").arg(id).arg(date, remark);
}

TEST_F(DataEngine, DateLiteralsAreStoredAsIsoAndReadBackAsDates)
{
    const QString sql = entry(1, "#5/1/2026#", QuoteSql(QStringLiteral("paid #1/2/2026# <<>> cash, O'Neil")));
    dao.ExecuteSql(sql);
    dao.ExecuteSql(entry(2, "#12/10/2026#"));
    dao.ExecuteSql(entry(3, "#31/12/2025#"));
    EXPECT_EQ(Statements().first(), sql) << "the log holds the statement as composed, before the rewrite";
    EXPECT_EQ(Scalar("Select TransactionDate||'' from tblTransaction where Id=1"), "2026-01-05");
    EXPECT_EQ(Scalar("Select Remarks from tblTransaction where Id=1"), "paid #1/2/2026# <<>> cash, O'Neil");

    dao.ExecuteSql("Select * from tblTransaction Where UserId='ann' and TaskID =3 Order by TransactionDate,Id");
    QStringList order;
    for (; !SharedRecordset->Eof(); SharedRecordset->MoveNext()) {
        EXPECT_EQ(SharedRecordset->Fields("TransactionDate").type(), Variant::Type::Date);
        order << SharedRecordset->Fields("TransactionDate").toString();
    }
    EXPECT_EQ(order, QStringList({"31/12/2025", "05/01/2026", "12/10/2026"}));  // as dates, not day-first text
    EXPECT_EQ(Column("Select Id from tblTransaction Where TransactionDate < #1/2/2026# Order by Id"),
              QStringList({"1", "3"}));
}

TEST_F(DataEngine, RejectedStatementsWriteNothingAndKeepTheCurrentResult)
{
    dao.ExecuteSql("Select StatusID,StatusName from tblStatus");
    const std::shared_ptr<Recordset> before = SharedRecordset;
    before->MoveNext();
    const QString rejected[] = {
        entry(1, "#31/02/2026#"),
        // A second statement after ";" is refused, and the first one is not run either.
        "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Fuel',1,'ann'); DELETE FROM tblStatus",
        "Select nothing from tblNowhere",
        "",
    };
    for (const QString &sql : rejected) {
        SCOPED_TRACE(sql.toStdString());
        try {
            dao.ExecuteSql(sql);
            ADD_FAILURE() << "accepted";
        } catch (const SqlError &e) {
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_EQ(SharedRecordset, before);
    }
    EXPECT_EQ(Scalar("Select count(*) from tblTransaction") + Scalar("Select count(*) from defHeads") +
                  Scalar("Select count(*) from tblStatus"),
              "00" + QString::number(StatusNames().size()));
    EXPECT_EQ(before->Fields(0).toString(), "2");  // the cursor the caller was walking stays put

    dao.ExecuteSql("Select StatusName from tblStatus Where StatusID=1;");  // a ";" alone is one statement
    EXPECT_EQ(SharedRecordset->Fields(0).toString(), "All");
}

TEST_F(DataEngine, CursorReadsByPositionOrNameAndRefusesWhatIsNotThere)
{
    dao.ExecuteSql("Select tblStatus.StatusID,StatusName from tblStatus");
    const std::shared_ptr<Recordset> rs = SharedRecordset;
    ASSERT_EQ(rs->FieldCount(), 2);
    EXPECT_EQ(rs->Fields(0).toInt64(), 1);
    for (const char *name : {"StatusName", "statusname", "STATUSNAME", "tblStatus.StatusName"})
        EXPECT_EQ(rs->Fields(QString::fromLatin1(name)).toString(), "All") << name;
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
    EXPECT_EQ(rs->Fields(1).toString(), "All");

    dao.ExecuteSql("Select * from tblStatus Where StatusID=99");
    EXPECT_TRUE(SharedRecordset->Eof());  // an empty result is at its end at once
    // A statement that returns no rows leaves a closed cursor that cannot be read.
    dao.ExecuteSql("Delete from tblStatus Where StatusID=99");
    EXPECT_TRUE(SharedRecordset->IsClosed());
    EXPECT_THROW(SharedRecordset->Eof(), SqlError);
    EXPECT_THROW(SharedRecordset->Fields(0), SqlError);
    EXPECT_THROW(SharedRecordset->MoveNext(), SqlError);
}

TEST_F(DataEngine, NamesMatchWithoutCaseButPasswordsExactly)
{
    Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'Ann','Secret')");
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Fuel',0,'Ann')");
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName) VALUES (1,'Ann',1,'Roof')");
    Seed(entry(1, "'2026-01-05'").replace("'ann'", "'Ann'"));
    for (const char *table : {"tblUsers", "defHeads", "tblTasks", "tblTransaction"})
        EXPECT_EQ(Scalar(QStringLiteral("Select count(*) from %1 Where UserId='aNN'").arg(table)), "1") << table;
    EXPECT_EQ(Scalar("Select count(*) from tblUsers Where UserId='ANN' And Passwd='Secret'"), "1");
    EXPECT_EQ(Scalar("Select count(*) from tblUsers Where UserId='ann' And Passwd='secret'"), "0");
    EXPECT_EQ(Scalar("Select count(*) from tblUsers Where UserId='ann' And Passwd='Secret '"), "0");
    // Two names that differ only in case cannot both exist.
    EXPECT_THROW(dao.ExecuteSql("INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (2,'ANN','x')"), SqlError);
    EXPECT_EQ(Scalar("Select count(*) from tblUsers"), "1");
}

// ---- Opening the database file ----

class DataOpening : public ProgramFolderTest {};

TEST_F(DataOpening, WhatIsNoDatabaseOfOursIsRefusedWithOneBoxAndLeftAlone)
{
    const QString password = QString::fromLatin1(kDatabasePassword);
    const QString notes = Folder() + "/notes.dat", empty = Folder() + "/empty.dat";
    for (const QString &path : {notes, empty}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(path == notes ? QByteArray("A few lines of notes, not a database at all.\n").repeated(200) : "");
    }
    const struct { QString path, password; const char *says; } cases[] = {
        {Folder() + "/nothere.dat", password, "nothere.dat"},
        {DatabasePath(), "not the password", "password"},
        {notes, password, "notes.dat"},
        {empty, password, "empty.dat"},
        {Folder(), password, "not a database"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        const QByteArray bytes = BytesOf(c.path);
        const bool existed = QFileInfo::exists(c.path);
        boxes.Forget();
        boxes.Expect();
        DataAccess.dataIntialize(c.path, QString(), c.password, QString());
        ASSERT_EQ(boxes.Count(), 1);
        const ui::MessageBoxRequest &box = boxes.Shown().front();
        EXPECT_TRUE(box.prompt.contains(QString::fromLatin1(c.says))) << box.prompt.toStdString();
        EXPECT_TRUE(box.title == "Error" && box.icon == ui::Icon::Critical);
        EXPECT_FALSE(SharedConnection.IsOpen());
        EXPECT_THROW(DataAccess.ExecuteSql("Select * from tblStatus"), SqlError);
        EXPECT_EQ(BytesOf(c.path), bytes);
        EXPECT_EQ(QFileInfo::exists(c.path), existed);
    }
    DataAccess.dataIntialize(DatabasePath(), QString(), password, QString());
    EXPECT_TRUE(SharedConnection.IsOpen());
}

TEST(DataConnectionText, ThePathRunsToTheNextAttributeOrTheEnd)
{
    const QString head = QStringLiteral("driver={Microsoft Access Driver (*.mdb)};dbq=");
    const struct { QString text; const char *path; } cases[] = {
        {head + "/opt/quillmark/qmk.dat", "/opt/quillmark/qmk.dat"}, {head + "/srv/qmk.dat;", "/srv/qmk.dat"},
        {head + "/home/ann/my;apps/qmk.dat", "/home/ann/my;apps/qmk.dat"}, {head + "/srv/qmk.dat;uid=admin;", "/srv/qmk.dat"},
        {head + "/srv/qmk.dat; Persist Security Info=False", "/srv/qmk.dat"},
        {"DBQ=C:/data/qmk.dat", "C:/data/qmk.dat"}, {"driver=x", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DatabasePathOf(c.text), c.path) << c.text.toStdString();
}

}  // namespace
