// Imported entries on both engines: the column the head decides, one batch written whole or not at
// all with its keys taken together, lines already imported or repeating an entry, heads by rule or
// by the user's history, undo, the upgrade of an earlier database, and each user's rows kept apart.
#include "DataTest.h"

#include "data/Imports.h"

using namespace import;

namespace {

PreviewRow Line(const char *date, double amount, const char *remarks, const char *bankId = "", const char *print = "",
                int head = 0)
{
    PreviewRow r;
    r.line.date = QDate::fromString(date, Qt::ISODate);
    r.line.amount = amount;
    r.line.remarks = QString::fromUtf8(remarks);
    r.line.bankId = bankId;
    r.line.fingerprint = print;
    r.headId = head;
    r.ticked = true;
    return r;
}

QStringList Statuses(const std::vector<PreviewRow> &rows)
{
    QStringList out;
    for (const PreviewRow &r : rows)
        out << QString("%1:%2%3").arg(int(r.status)).arg(r.duplicateOf).arg(r.ticked ? "+" : "");
    return out;
}

class ImportTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("ann", {"defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'ann'),(2,'Supplies',1,'ann')",
                      "tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Shed'),(2,'ann','Fair')",
                      "tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) VALUES "
                      "(1,'ann','2024-03-01',2,0,3.5,'Coffee Corner',1),(2,'ann','2024-03-01',2,0,3.5,'Coffee Corner',1),"
                      "(3,'ann','2024-02-01',2,0,80,'Timber Yard Ltd',2),(4,'ann','2024-02-02',2,0,15,'Timber Yard nails',2),"
                      "(5,'ann','2024-02-03',1,20,0,'Timber Yard refund',2)"});
    }
    QString Ledger() { return Joined("Select count(*), sum(AmountIn - AmountOut) From tblTransaction").join(""); }
    QString ImportRows()
    {
        return Joined("Select (Select count(*) From tblImportBatches), (Select count(*) From tblImportedEntries)").join("");
    }
};

// The bank's signed amount lands in the column of the head's type, so the balance moves by it;
// dates and texts are stored as the entry editor stores them, with keys largest+1 ... largest+N.
TEST_P(ImportTest, EachAmountGoesToItsHeadsColumnUnderConsecutiveKeys)
{
    std::vector<PreviewRow> rows{Line("2024-03-05", 150, "cement", "", "", 1), Line("2024-03-05", -40, "O'Neil; =SUM(A1)", "", "", 1),
                                 Line("2024-03-06", -25.5, "line\r\none", "", "", 2), Line("2024-03-06", 10, "", "", "", 2),
                                 Line("2024-03-07", 7, "unticked", "", "", 2)};
    rows.back().ticked = false;
    const std::int32_t batch = WriteBatch(1, "march.csv", QByteArray(32, '\x7f'), rows);
    EXPECT_EQ(Joined("Select Id, AmountIn, AmountOut, Remarks From tblTransaction Where Id > 5 Order by Id"),
              (QStringList{"6|150|0|cement", "7|-40|0|O'Neil; =SUM(A1)", "8|0|25.5|line  one", "9|0|-10| "}));
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction Where TransactionDate = #05/03/2024# And TaskID = 1"), "2");
    EXPECT_EQ(Scalar("Select sum(AmountIn - AmountOut) From tblTransaction Where Id > 5"), "94.5");
    EXPECT_EQ(NextKey("tblTransaction", "Id"), 10);
    const std::vector<BatchInfo> list = ListBatches(1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, batch);
    EXPECT_EQ(list[0].sha256, QByteArray(32, '\x7f'));
    EXPECT_EQ(list[0].count, 4);
    EXPECT_EQ(list[0].fileName, "march.csv");
    EXPECT_LE(list[0].importedAt.secsTo(QDateTime::currentDateTimeUtc()), 60);
}

// A failure anywhere, the last row included, leaves the ledger and the import tables as they were.
TEST_P(ImportTest, AFailureAtTheLastRowWritesNothing)
{
    const QString ledger = Ledger(), imports = ImportRows();
    std::vector<PreviewRow> rows;
    for (int i = 0; i < 600; ++i)
        rows.push_back(Line("2024-04-01", i + 1, "row", "", "", 1 + i % 2));
    rows.back().line.remarks = "boom";
    if (server)
        server->admin->ExecuteScript(
            "CREATE FUNCTION boom() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.remarks = 'boom' THEN "
            "RAISE EXCEPTION 'planted'; END IF; RETURN NEW; END $$;"
            "CREATE TRIGGER boom BEFORE INSERT ON tblTransaction FOR EACH ROW EXECUTE FUNCTION boom()");
    else
        Seed("CREATE TRIGGER boom BEFORE INSERT ON tblTransaction WHEN NEW.Remarks = 'boom' BEGIN "
             "SELECT RAISE(ABORT, 'planted'); END");
    EXPECT_THROW(WriteBatch(1, "a.csv", {}, rows), SqlError);
    EXPECT_EQ(Ledger(), ledger);
    EXPECT_EQ(ImportRows(), imports);

    rows.back().line.remarks = "fine";
    Seed("DELETE FROM defHeads WHERE Id = 2");  // the head of the last row, deleted meanwhile
    EXPECT_THROW(WriteBatch(1, "a.csv", {}, rows), SqlError);
    rows.back().headId = 1;
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID) VALUES (2147483000,'ann',2)");  // 647 keys left
    rows.resize(599);
    for (PreviewRow &r : rows)
        r.headId = 1;
    rows.push_back(Line("2024-04-01", 1, "one too many", "", "", 1));
    rows.resize(648, rows.back());
    EXPECT_THROW(WriteBatch(1, "a.csv", {}, rows), SqlError);
    EXPECT_EQ(Ledger(), Joined("Select 6, sum(AmountIn - AmountOut) From tblTransaction").join(""));
    EXPECT_EQ(ImportRows(), imports);
    rows.pop_back();
    EXPECT_GT(WriteBatch(1, "a.csv", {}, rows), 0);  // exactly the keys left
    EXPECT_EQ(Scalar("Select max(Id) From tblTransaction"), "2147483647");
}

// Bank ids and fingerprints of earlier imports, and entries that a line may repeat (3 days either
// way, similar remarks, each entry answering for one line only), all within the project.
TEST_P(ImportTest, ClassifiesLinesAlreadyImportedAndPossibleDuplicates)
{
    WriteBatch(2, "jan.csv", {}, {Line("2024-01-10", -9, "Bank fee", "B-1", "f1", 2), Line("2024-01-11", -4, "Stamps", "", "f2", 2)});
    std::vector<PreviewRow> rows{Line("2024-01-10", -9, "Bank fee", "B-1", "x"),        // same bank id
                                 Line("2024-01-11", -4, "Stamps", "", "f2"),            // overlapping statement
                                 Line("2024-01-12", -4, "Stamps", "", "f3"),            // a new line
                                 Line("2024-03-02", -3.5, "COFFEE corner", "", "c1"),   // three coffees against two
                                 Line("2024-03-02", -3.5, "coffee", "", "c2"), Line("2024-03-02", -3.5, "Coffee", "", "c3"),
                                 Line("2024-02-05", -80, "Timber Yard", "", "t1"),      // 4 days after entry 3
                                 Line("2024-02-05", -15, "timber", "", "t2"),           // 3 days after entry 4
                                 Line("2024-02-03", 20, "Refund from shop", "", "t3"),  // unlike entry 5's remark
                                 Line("", 5, "no date", "", "e1")};
    Classify(rows, 2);
    EXPECT_EQ(Statuses(rows), (QStringList{"1:0", "1:0", "0:0+", "0:0+", "0:0+", "0:0+", "0:0+", "2:4", "0:0+", "3:0"}));
    Classify(rows, 1);
    EXPECT_EQ(Statuses(rows).mid(2, 4), (QStringList{"0:0+", "2:1", "2:2", "0:0+"}));
}

// The first rule that matches sets the head; rows no rule covers get the head the user most often gave
// the same payee, as a suggestion; rules and profiles are the user's own and kept in order.
TEST_P(ImportTest, HeadsComeFromRulesThenFromTheUsersHistory)
{
    SaveRules({{"yard", 1}, {"timber", 2}, {"gone", 99}});
    SaveRules({{"NAILS", 2}, {"yard", 1}, {"gone", 99}});
    ASSERT_EQ(LoadRules().size(), 3u);
    EXPECT_EQ(LoadRules()[0].contains, "NAILS");
    std::vector<PreviewRow> rows{Line("2024-05-01", -1, "Timber Yard nails"), Line("2024-05-01", -1, "timber YARD"),
                                 Line("2024-05-01", -1, "timber works gone"), Line("2024-05-01", -1, "coffee CORNER 2"),
                                 Line("2024-05-01", -1, "Unknown"), Line("2024-05-01", -1, "kept", "", "", 1)};
    ApplyHeads(rows, LoadRules());
    QStringList heads;
    for (const PreviewRow &r : rows)
        heads << QString("%1%2").arg(r.headId).arg(r.headSuggested ? "?" : "");
    EXPECT_EQ(heads, (QStringList{"2", "1", "0", "2?", "0", "1"}));

    SaveProfile({"Bank A", "date;amount", "v1"});
    SaveProfile({"Bank B", "x", "v2"});
    SaveProfile({"Bank A", "date;amount;text", "v3"});
    const std::vector<Profile> profiles = LoadProfiles();
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].shape + "|" + profiles[0].mapping, "date;amount;text|v3");
}

// Undo removes what is left of the batch and the batch; edits since the import are counted first
// (a deleted entry is no edit), and entries typed by hand stay.
TEST_P(ImportTest, UndoRemovesTheBatchsRemainingEntries)
{
    const std::int32_t kept = WriteBatch(2, "b.csv", {}, {Line("2024-06-01", 1, "other", "", "o1", 1)});
    const std::int32_t batch = WriteBatch(
        1, "a.csv", {}, {Line("2024-06-01", 5, "a", "", "a1", 1), Line("2024-06-02", -6, "b", "", "a2", 2), Line("2024-06-03", 7, "c", "", "a3", 1)});
    EXPECT_EQ(EditedSince(batch), 0);
    Seed("UPDATE tblTransaction SET AmountIn = 5.5 WHERE Id = 7");
    Seed("DELETE FROM tblTransaction WHERE Id = 9");
    // The deleted entry's key is given again to an entry typed by hand: it is no import's.
    Seed("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) "
         "VALUES (9,'ann','2024-06-04',1,2,0,'typed',1)");
    Seed("UPDATE tblTransaction SET Remarks = 'b' WHERE Id = 8");  // the same as written
    EXPECT_EQ(EditedSince(batch), 1);
    EXPECT_EQ(ListBatches(1)[0].remaining, 2);
    UndoBatch(batch);
    EXPECT_EQ(Column("Select Id From tblTransaction Order by Id"), (QStringList{"1", "2", "3", "4", "5", "6", "9"}));
    Seed("DELETE FROM tblTransaction WHERE Id = 9");
    EXPECT_TRUE(ListBatches(1).empty());
    EXPECT_EQ(ListBatches(2).size(), 1u);
    EXPECT_EQ(ImportRows(), "1|1");
    EXPECT_THROW(UndoBatch(batch), SqlError);
    UndoBatch(kept);
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "5");
}

QMK_ON_BOTH_ENGINES(ImportTest);

class ImportUpgradeTest : public ProgramFolderTest {};

// A file of version 2 opens, is brought to version 3 with its data, and takes an import.
TEST_F(ImportUpgradeTest, AFileOfVersion2IsUpgradedAndKeepsItsData)
{
    QFile::remove(DatabasePath());
    CreateDatabaseFile(DatabasePath(), Sample::Demo, 2);
    OpenDatabase();
    CurrentUserId = "demo";
    EXPECT_EQ(Scalar("PRAGMA user_version"), QString::number(kFileSchemaVersion));
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "48");
    WriteBatch(1, "x.csv", {}, {Line("2026-03-03", 12, "new", "", "n1", 1)});
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction"), "49");
    EXPECT_EQ(ListBatches(1).size(), 1u);
}

// A server database of version 2 is brought to version 3 with its data; its members then import, each
// seeing and writing only their own import rows, and no member inserts an entry under a key not granted.
TEST_F(ImportUpgradeTest, ServerUpgradedFromVersion2KeepsImportRowsApart)
{
    server = std::make_unique<ServerScene>(2);
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'ann'),(2,'Fees',1,'bob')");
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann'),(2,'bob')");
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID,AmountIn) VALUES (1,'ann',1,5)");
    EXPECT_EQ(UpgradeServerDatabase(server->conninfo, "qmk_super", server->superPassword), 2);
    EXPECT_EQ(Scalar("Select max(version) From qmk_schema") + Scalar("Select sum(AmountIn) From tblTransaction"), QString::number(kServerSchemaVersion) + "5");

    SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, "ann", ServerScene::kUserPassword));
    CurrentUserId = "ann";
    const std::int32_t batch = WriteBatch(1, "a.csv", {}, {Line("2024-01-01", 3, "a", "A", "a", 1), Line("2024-01-02", 4, "b", "", "b", 1)});
    SaveRules({{"a", 1}});
    SaveProfile({"P", "s", "m"});
    EXPECT_EQ(Column("Select Id From tblTransaction Order by Id"), (QStringList{"1", "2", "3"}));

    const auto bob = std::make_unique<PgEngine>(server->conninfo, "bob", ServerScene::kUserPassword);
    for (const char *table : {"tblImportBatches", "tblImportedEntries", "tblImportRules", "tblImportProfiles"})
        EXPECT_EQ(bob->Execute(QString("Select count(*) From %1").arg(table))->Fields(0).toInt64(), 0) << table;
    const auto refused = [&](const QString &sql) {
        try {
            bob->Execute(sql);
        } catch (const SqlError &) {
            return true;
        }
        return false;
    };
    EXPECT_TRUE(refused("INSERT INTO tblImportBatches (UserId,TaskID) VALUES ('ann',1)"));
    EXPECT_TRUE(refused("INSERT INTO tblImportRules (UserId,Contains,HeadId) VALUES ('ANN','x',1)"));
    EXPECT_TRUE(refused("INSERT INTO tblImportProfiles (UserId,Name) VALUES ('ann','P')"));
    EXPECT_TRUE(refused(QString("INSERT INTO tblImportedEntries (BatchId,UserId,ActionId) VALUES (%1,'ann',1)").arg(batch)));
    EXPECT_EQ(bob->Execute("UPDATE tblImportBatches SET UserId = 'bob'")->IsClosed(), true);
    EXPECT_EQ(Scalar("Select UserId From tblImportBatches"), "ann");

    // Keys of a range only, used in order; a range past the largest key is refused.
    const auto inRange = [&](const char *count, const QString &insert) {
        bob->BeginWrite();
        bob->Execute(QString("SELECT qmk_take_keys('tbltransaction', %1)").arg(count));
        const bool no = refused(insert);
        bob->Rollback();
        return !no;
    };
    const QString entry = "INSERT INTO tblTransaction (Id,UserId,TaskID) VALUES %1";
    EXPECT_TRUE(inRange("3", entry.arg("(4,'bob',2),(5,'bob',2),(6,'bob',2)")));
    EXPECT_FALSE(inRange("3", entry.arg("(4,'bob',2),(7,'bob',2)")));
    EXPECT_FALSE(inRange("3", entry.arg("(4,'bob',2),(6,'bob',2)")));
    EXPECT_FALSE(inRange("3", entry.arg("(4,'bob',1)")));
    EXPECT_TRUE(refused(entry.arg("(4,'bob',2)")));
    EXPECT_TRUE(refused("SELECT qmk_take_keys('tbltransaction', 2147483645)"));
    EXPECT_TRUE(refused("SELECT qmk_take_keys('tblusers', 1)"));
}

}  // namespace
