// Projects shared with members and the history of changes, on both engines: who may do what (on the
// server with a client of each user's own), the history rows of every kind of change, restoring a
// deleted or changed entry and a deleted project, the upgrade of an earlier database, and the
// file's schema check that knows the history's triggers.
#include "DataTest.h"

#include "data/ServerDatabase.h"
#include "data/Sharing.h"
#include "data/SqlCipherEngine.h"

namespace {

class SharingTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("ann", {"defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Fuel',1,'ann')",
                      "tblTasks (TaskID,UserId,StatusID,TaskName,CostUpToNow) VALUES (1,'ann',2,'Shed',0),(2,'ann',2,'Fair',0)",
                      "tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) VALUES "
                      "(1,'ann','2026-01-02',1,0,5,'y',1),(2,'ann','2026-01-03',1,0,6,'z',1)"});
        if (server) {
            for (const char *user : {"bob", "cat", "dan"})
                ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
        } else {
            Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann',''),(2,'Bob',''),(3,'cat',''),(4,'dan','')");
        }
        seen = Scalar("Select coalesce(max(Id),0) From tblHistory");
    }
    // Logs in as the user: on the server with the user's own role.
    void As(const QString &user)
    {
        if (server)
            SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, user, ServerScene::kUserPassword));
        CurrentUserId = user;
    }
    // Books an entry under the program's key allocation; answers its key.
    std::int64_t Book(const char *owner, int task, const char *remarks)
    {
        WriteTransaction tx(SharedConnection);
        const std::int32_t key = NextKey("tblTransaction", "Id");
        SharedConnection.Execute(QString("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,"
                                         "Remarks,TaskID) VALUES (%1,'%2','2026-02-01',1,0,2.5,'%3',%4)")
                                     .arg(key).arg(owner, remarks).arg(task));
        tx.Commit();
        return key;
    }
    void Run(const QString &sql) { SharedConnection.Execute(sql); }
    // The history written since SetUp: kind, table, key, project, column, old, new, who.
    QStringList History(const QString &where = "1=1")
    {
        return Joined("Select Kind, TableName, RowKey, TaskID, ColumnName, coalesce(OldValue,'-'), coalesce(NewValue,'-'), "
                      "ChangedBy From tblHistory Where Id > " + seen + " And " + where + " Order By Id");
    }
    std::int64_t LastEvent(const QString &where)
    {
        return Scalar("Select max(Event) From tblHistory Where " + where).toLongLong();
    }
    QString seen;
};

// Each kind of change of an entry, a project, a head and a membership writes one row a column
// (an update only its changed columns), under one event, naming the session's user whatever the
// row says; the history reads newest first, for a project or one entry.
TEST_P(SharingTest, EveryChangeIsRecordedColumnByColumnWithWhoMadeIt)
{
    ShareProject(1, "BOB", ProjectRole::Viewer);
    ShareProject(1, "bob", ProjectRole::Editor);
    EXPECT_EQ(History("TableName='tblMembers'"),
              (QStringList{"Added|tblMembers|1|1|TaskID|-|1|ann", "Added|tblMembers|1|1|UserId|-|" + QString(server ? "bob" : "Bob") + "|ann",
                           "Added|tblMembers|1|1|Role|-|Viewer|ann", "Changed|tblMembers|1|1|Role|Viewer|Editor|ann"}));
    ASSERT_EQ(MembersOf(1).size(), 1u);
    EXPECT_EQ(RoleName(MembersOf(1)[0].role), "Editor");
    for (const char *name : {"nobody", "ann"}) {
        try {
            ShareProject(1, name, ProjectRole::Viewer);
            ADD_FAILURE() << name;
        } catch (const SqlError &e) {
            if (QString(name) == "nobody") {
                EXPECT_TRUE(QString(e.what()).contains("No user named nobody exists.")) << e.what();
            }
        }
    }

    Run("Update tblTransaction Set Id=1, AmountOut=7.5, Remarks='two', TaskID=1 Where Id=1");
    Run("Delete From tblTransaction Where Id=2");
    Run("Update tblTasks Set TaskName='Barn' Where TaskID=1");
    Run("Update defHeads Set Heads='Wood' Where Id=1");
    Run("Update tblTasks Set TaskName='Barn' Where TaskID=1");  // no change, no row
    EXPECT_EQ(History("TableName<>'tblMembers'"),
              (QStringList{"Changed|tblTransaction|1|1|AmountOut|5|7.5|ann", "Changed|tblTransaction|1|1|Remarks|y|two|ann",
                           "Deleted|tblTransaction|2|1|Id|2|-|ann", "Deleted|tblTransaction|2|1|UserId|ann|-|ann",
                           "Deleted|tblTransaction|2|1|TransactionDate|2026-01-03|-|ann", "Deleted|tblTransaction|2|1|HeadId|1|-|ann",
                           "Deleted|tblTransaction|2|1|AmountIn|0|-|ann", "Deleted|tblTransaction|2|1|AmountOut|6|-|ann",
                           "Deleted|tblTransaction|2|1|Remarks|z|-|ann", "Deleted|tblTransaction|2|1|TaskID|1|-|ann",
                           "Changed|tblTasks|1|1|TaskName|Shed|Barn|ann", "Changed|defHeads|1|0|Heads|Fuel|Wood|ann"}));

    // The editor books under the owner's name: the history names the editor.
    As("bob");
    const std::int64_t key = Book("ann", 1, "by bob");
    EXPECT_EQ(History("Kind='Added' And TableName='tblTransaction'").join(";"),
              QString("Added|tblTransaction|%1|1|Id|-|%1|bob;Added|tblTransaction|%1|1|UserId|-|ann|bob;"
                      "Added|tblTransaction|%1|1|TransactionDate|-|2026-02-01|bob;Added|tblTransaction|%1|1|HeadId|-|1|bob;"
                      "Added|tblTransaction|%1|1|AmountIn|-|0|bob;Added|tblTransaction|%1|1|AmountOut|-|2.5|bob;"
                      "Added|tblTransaction|%1|1|Remarks|-|by bob|bob;Added|tblTransaction|%1|1|TaskID|-|1|bob").arg(key));
    const std::vector<HistoryRow> all = HistoryOf(1);
    ASSERT_GE(all.size(), 17u);
    EXPECT_EQ(all.front().event, LastEvent("1=1"));
    EXPECT_EQ(all.front().column + all.front().changedBy + all.front().kind, "IdbobAdded");
    EXPECT_LE(all.front().changedAt.secsTo(QDateTime::currentDateTimeUtc()), 60);
    for (const HistoryRow &r : all)
        EXPECT_NE(r.table, "defHeads");
    QStringList entry;
    for (const HistoryRow &r : HistoryOf(1, 1))
        entry << r.column + ":" + r.oldValue + ">" + r.newValue;
    EXPECT_EQ(entry.mid(0, 3), (QStringList{"AmountOut:5>7.5", "Remarks:y>two", "Id:>1"}));

    // Deleting a project takes its memberships with it (recorded as the owner's).
    As("ann");
    Run("Delete From tblTasks Where TaskID=1");
    EXPECT_EQ(Scalar("Select count(*) From tblMembers"), "0");
    EXPECT_EQ(History("TableName='tblMembers' And Kind='Deleted' And ColumnName='Role'"),
              QStringList{"Deleted|tblMembers|1|1|Role|Editor|-|ann"});
    EXPECT_EQ(SharedWithCondition("o'k"), "TaskID In (Select TaskID From tblMembers Where UserId='o''k')");
}

// A deleted entry comes back under its own key while it is free, else under a new one; a changed
// entry gets its earlier values back; a deleted project comes back with its number. An editor may
// restore entries, a viewer nothing, and each restore is recorded.
TEST_P(SharingTest, RestorePutsBackDeletedAndChangedRowsForThoseWhoMay)
{
    ShareProject(1, "bob", ProjectRole::Editor);
    ShareProject(1, "cat", ProjectRole::Viewer);
    EXPECT_EQ(Book("ann", 1, "mid"), 3);
    const QString before = Joined("Select * From tblTransaction Where Id=2").join("");
    Run("Delete From tblTransaction Where Id=2");
    const std::int64_t deleted = LastEvent("Kind='Deleted'");
    Run("Update tblTransaction Set AmountOut=9, Remarks='late' Where Id=1");
    const std::int64_t changed = LastEvent("Kind='Changed'");

    As("cat");
    EXPECT_EQ(AccessTo(1).role, ProjectRole::Viewer);
    EXPECT_EQ(AccessTo(1).owner, "ann");
    EXPECT_THROW(Restore(deleted), SqlError);
    As("dan");
    EXPECT_EQ(AccessTo(1).role, ProjectRole::None);
    EXPECT_THROW(Restore(deleted), SqlError);
    EXPECT_TRUE(HistoryOf(1).empty());
    EXPECT_TRUE(MembersOf(1).empty());

    As("bob");
    EXPECT_EQ(AccessTo(1).role, ProjectRole::Editor);
    EXPECT_EQ(Restore(deleted), 2);
    EXPECT_EQ(Joined("Select * From tblTransaction Where Id=2").join(""), before);
    EXPECT_EQ(History("Kind='Added' And ColumnName='Remarks' And RowKey=2"), QStringList{"Added|tblTransaction|2|1|Remarks|-|z|bob"});
    EXPECT_EQ(Restore(changed), 1);
    EXPECT_EQ(Joined("Select AmountOut, Remarks From tblTransaction Where Id=1"), QStringList{"5|y"});
    EXPECT_THROW(Restore(LastEvent("TableName='tblMembers'")), SqlError);

    // Its key taken meanwhile, the entry comes back under the next one.
    As("ann");
    Run("Delete From tblTransaction Where Id=2");
    const std::int64_t again = LastEvent("Kind='Deleted'");
    Seed("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) VALUES "
         "(2,'ann','2026-03-01',1,0,1,'took 2',1)");
    EXPECT_EQ(Restore(again), 4);
    EXPECT_EQ(Column("Select Remarks From tblTransaction Order By Id"), (QStringList{"y", "took 2", "mid", "z"}));

    // A project deleted by its owner comes back with its number; nobody else may restore it.
    Run("Delete From tblTasks Where TaskID=2");
    const std::int64_t project = LastEvent("Kind='Deleted' And TableName='tblTasks'");
    As("bob");
    EXPECT_THROW(Restore(project), SqlError);
    As("ann");
    EXPECT_EQ(Restore(project), 2);
    EXPECT_EQ(Joined("Select TaskID, UserId, TaskName From tblTasks Where TaskID=2"), QStringList{"2|ann|Fair"});
    EXPECT_THROW(Restore(LastEvent("Kind='Added'")), SqlError);
    EXPECT_THROW(Restore(999999), SqlError);
}

QMK_ON_BOTH_ENGINES(SharingTest);

class SharingUpgradeTest : public ProgramFolderTest {};

// A file of version 3 is brought up to date with its data and no history of what came before; a
// change is then recorded. The schema check knows the history's triggers exactly and still refuses
// any other trigger.
TEST_F(SharingUpgradeTest, AFileOfVersion3IsUpgradedAndItsSchemaCheckKnowsTheTriggers)
{
    QFile::remove(DatabasePath());
    CreateDatabaseFile(DatabasePath(), Sample::Demo, 3);
    OpenDatabase();
    CurrentUserId = "demo";
    EXPECT_EQ(Scalar("PRAGMA user_version"), QString::number(kFileSchemaVersion));
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction") + Scalar("Select count(*) From tblHistory"), "480");
    Seed("Update tblTransaction Set Remarks='new' Where Id=1");
    EXPECT_EQ(Joined("Select ChangedBy, ColumnName, NewValue From tblHistory"), QStringList{"demo|Remarks|new"});
    ResetProcessState();
    OpenDatabase();  // opens again: every trigger is one it knows

    for (const QString &trigger : FileHistoryTriggers())
        EXPECT_TRUE(IsOwnSchemaObject("trigger", "t", trigger));
    QString altered = FileHistoryTriggers().front();
    EXPECT_FALSE(IsOwnSchemaObject("trigger", "t", altered.replace("qmk_user()", "'someone'")));
    EXPECT_FALSE(IsOwnSchemaObject("view", "t", FileHistoryTriggers().front()));
    ResetProcessState();
    AsAnotherProgram(DatabasePath(), "DROP TRIGGER qmk_history_tbltransaction_update; CREATE TRIGGER "
                                     "qmk_history_tbltransaction_update AFTER UPDATE ON tblTransaction BEGIN "
                                     "DELETE FROM tblHistory; END");
    EXPECT_THROW(SqlCipherEngine(DatabasePath(), kDatabasePassword, false, 1000), SqlError);
}

// A server database of version 3 is brought up to date with its data and no history; its users
// then share and the history records them.
TEST_F(SharingUpgradeTest, ServerUpgradedFromVersion3SharesAndRecords)
{
    server = std::make_unique<ServerScene>(3);
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Shed')");
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID,AmountIn) VALUES (1,'ann',1,5)");
    EXPECT_EQ(UpgradeServerDatabase(server->conninfo, "qmk_super", server->superPassword), 3);
    EXPECT_EQ(Scalar("Select max(version) From qmk_schema") + Scalar("Select count(*) From tblHistory") +
                  Scalar("Select sum(AmountIn) From tblTransaction"), QString::number(kServerSchemaVersion) + "05");
    SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, "ann", ServerScene::kUserPassword));
    CurrentUserId = "ann";
    ShareProject(1, "bob", ProjectRole::Viewer);
    const auto bob = std::make_unique<PgEngine>(server->conninfo, "bob", ServerScene::kUserPassword);
    EXPECT_EQ(bob->Execute("Select TaskName From tblTasks")->Fields(0).toString(), "Shed");
    EXPECT_EQ(Joined("Select ChangedBy, ColumnName, NewValue From tblHistory Where ColumnName='Role'"),
              QStringList{"ann|Role|Viewer"});
}

class SharingServerTest : public ProgramFolderTest {
protected:
    EngineKind Kind() const override { return EngineKind::Server; }
};

// What each user may do with ann's project 1, shared with bob as editor and cat as viewer, through
// a client of their own: Y where the statement runs and reaches a row, N where it is refused or
// reaches none. Each runs in a transaction of its own that is rolled back.
TEST_F(SharingServerTest, EachRoleMayDoWhatItsRowSaysWithAnyClient)
{
    OpenDatabase();
    for (const char *user : {"ann", "bob", "cat", "dan"})
        ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
    Seed("INSERT INTO defHeads VALUES (1,'Fuel',1,'ann'),(2,'Food',1,'dan')");
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName,CostUpToNow) VALUES (1,'ann','Shed',0),(2,'ann','Fair',0),(3,'dan','His',0)");
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID,AmountIn) VALUES (1,'ann',1,5),(2,'ann',2,6),(3,'dan',3,7)");
    std::map<QString, std::unique_ptr<PgEngine>> clients;
    for (const char *user : {"ann", "bob", "cat", "dan"})
        clients[user] = std::make_unique<PgEngine>(server->conninfo, user, ServerScene::kUserPassword);
    clients["sysop"] = std::make_unique<PgEngine>(server->conninfo, "sysop", ServerScene::kSysopPassword);
    clients["ann"]->Execute("Select qmk_share(1, 'BOB', 'Editor')");
    clients["ann"]->Execute("Select qmk_share(1, 'cat', 'Viewer')");
    EXPECT_EQ(Scalar("Select string_agg(UserId || Role, ',' Order By UserId) From tblMembers"), "bobEditor,catViewer");

    const QString entry = "INSERT INTO tblTransaction (Id,UserId,TaskID,AmountIn) VALUES (%K,'%1',%2,1) RETURNING 1";
    struct Case {
        QString sql;
        const char *expected;  // ann bob cat dan sysop
    };
    const Case cases[] = {
        {"Select 1 From tblTasks Where TaskID=1", "YYYNN"},
        {"Select 1 From tblTransaction Where TaskID=1", "YYYNN"},
        {"Select 1 From defHeads Where Id=1", "YYYNN"},
        {"Select 1 From tblTasks Where TaskID=2 Union All Select 1 From tblTransaction Where Id=2", "YNNNN"},
        {"Select 1 From tblMembers", "YYYNN"},
        {"Select 1 From tblHistory Where TaskID=1", "YYYNN"},
        {"Select 1 From tblHistory Where TableName='defHeads'", "YNNYN"},
        {entry.arg("ann").arg(1), "YYNNN"},
        {entry.arg("ann").arg(2), "YNNNN"},
        {entry.arg("bob").arg(1), "NNNNN"},
        {"Update tblTransaction Set AmountIn=9 Where Id=1 RETURNING 1", "YYNNN"},
        {"Delete From tblTransaction Where Id=1 RETURNING 1", "YYNNN"},
        {"Update tblTransaction Set TaskID=2 Where Id=1 RETURNING 1", "YNNNN"},
        {"Update tblTransaction Set AmountIn=9 Where Id=2 RETURNING 1", "YNNNN"},
        {"Update tblTransaction Set UserId='bob' Where Id=1 RETURNING 1", "NNNNN"},
        {"Update tblTasks Set CostUpToNow=3 Where TaskID=1 RETURNING 1", "YYNNN"},
        {"Update tblTasks Set TaskName='x' Where TaskID=1 RETURNING 1", "YNNNN"},
        {"Update tblTasks Set CostUpToNow=3, Notes='x' Where TaskID=1 RETURNING 1", "YNNNN"},
        {"Delete From tblTasks Where TaskID=1 RETURNING 1", "YNNNN"},
        {"Update tblTasks Set UserId='bob' Where TaskID=1 RETURNING 1", "NNNNN"},
        {"Update defHeads Set Heads='x' Where Id=1 RETURNING 1", "YNNNN"},
        {"Select qmk_share(1, 'dan', 'Editor')", "YNNNN"},
        {"Select qmk_unshare(1, 'cat')", "YNNNN"},
        {"Select qmk_share(3, 'bob', 'Editor')", "NNNYN"},
        {"Update tblMembers Set Role='Editor' RETURNING 1", "NNNNN"},
        {"INSERT INTO tblMembers VALUES (1,'dan','Editor') RETURNING 1", "NNNNN"},
        {"Update tblHistory Set OldValue='x' RETURNING 1", "NNNNN"},
        {"Delete From tblHistory RETURNING 1", "NNNNN"},
        {"TRUNCATE tblHistory", "NNNNN"},
        {"INSERT INTO tblHistory (Event,ChangedAt,TableName,Kind,ColumnName) VALUES (1,'x','tblTasks','Added','x') RETURNING 1",
         "NNNNN"},
        {"SET ROLE qmk_historian", "NNNNN"},
    };
    const char *const users[] = {"ann", "bob", "cat", "dan", "sysop"};
    for (const Case &c : cases) {
        QString got;
        for (const char *user : users) {
            PgEngine &client = *clients[user];
            bool reached = false;
            try {
                client.BeginWrite();
                QString sql = c.sql;
                if (sql.contains("%K"))
                    sql.replace("%K", QString::number(client.Execute("Select qmk_take_keys('tbltransaction', 1)")->Fields(0).toInt64() + 1));
                const auto rs = client.Execute(sql);
                reached = rs->IsClosed() || !rs->Eof();
            } catch (const SqlError &) {
            }
            client.Rollback();
            got += reached ? 'Y' : 'N';
        }
        EXPECT_EQ(got, c.expected) << c.sql.toStdString();
    }
    // An entry the editor deletes is no longer counted as one of the owner's imports.
    Seed("INSERT INTO tblImportBatches (UserId,TaskID) VALUES ('ann',1)");
    Seed("INSERT INTO tblImportedEntries (BatchId,UserId,ActionId) SELECT Id,'ann',1 From tblImportBatches");
    clients["bob"]->Execute("Delete From tblTransaction Where Id=1");
    EXPECT_EQ(Scalar("Select count(*) From tblImportedEntries") + Scalar("Select count(ActionId) From tblImportedEntries"), "10");
    // Even the historian's own functions cannot change what was recorded.
    EXPECT_THROW(server->admin->ExecuteScript("Set Role qmk_historian; Delete From tblHistory"), SqlError);
}

}  // namespace
