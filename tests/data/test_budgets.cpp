// Projects planned by their heads, on both engines: plan sums and both forecasts against figures
// summed in SQL, revisions, who may save a plan (on the server refused by the server itself), a
// deleted project's plan, the upgrade of an earlier database, and the over-plan message.
#include "DataTest.h"

#include "data/Budgets.h"
#include "data/ServerDatabase.h"
#include "data/Sharing.h"
#include "data/SqlCipherEngine.h"

namespace {

const QDate kToday(2026, 7, 2);  // half of project 1's year

class BudgetsTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        // Project 1 spends over its Materials plan, with a refund under labour, a head it does not
        // plan and an income; an entry of another user still carries its number. Project 2 has no end
        // date, project 3 ended last year, project 4 has no plan.
        Scene("ann", {"defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Materials',1,'ann'),(2,'labour',1,'ann'),"
                      "(3,'Travel',1,'ann'),(4,'Grant',0,'ann'),(5,'Food',1,'dan')",
                      "tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow) VALUES "
                      "(1,'ann',2,'Shed','2026-01-01','2026-12-31',0),(2,'ann',2,'Fair','2026-03-01',NULL,0),"
                      "(3,'ann',2,'Old','2025-01-01','2025-06-30',0),(4,'ann',2,'Bare','2026-01-01',NULL,0)",
                      "tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID) VALUES "
                      "(1,'ann','2026-02-01',1,0,2000,'a',1),(2,'ann','2026-03-01',1,0,1120,'b',1),"
                      "(3,'ann','2026-03-02',2,0,250,'c',1),(4,'ann','2026-03-03',2,0,-50,'refund',1),"
                      "(5,'ann','2026-03-04',3,0,75,'d',1),(6,'ann','2026-03-05',4,900,0,'e',1),"
                      "(7,'zed','2020-01-01',1,0,999,'old',1),(8,'ann','2026-04-01',1,0,40,'f',2),"
                      "(9,'ann','2025-02-01',2,0,1200,'g',3)"});
        if (server) {
            for (const char *user : {"bob", "cat", "dan"})
                ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
        } else {
            Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann',''),(2,'bob',''),(3,'cat',''),(4,'dan','')");
        }
    }
    void As(const QString &user)
    {
        if (server)
            SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, user, ServerScene::kUserPassword));
        CurrentUserId = user;
    }
    // Planned, spent and the forecast on plan of a project, summed in SQL as each head's larger of
    // plan and spending, plus what unplanned heads spent.
    QStringList SqlFigures(int task)
    {
        const QString latest = QString("(Select max(Revision) From tblBudgetRevisions Where TaskID=%1)").arg(task);
        const QString spent = QString("(Select HeadId, sum(AmountOut) As s From tblTransaction Where TaskID=%1 And "
                                      "UserId='ann' Group By HeadId)").arg(task);
        return {Scalar(QString("Select sum(Planned) From tblHeadBudgets Where TaskID=%1 And Revision=%2").arg(task).arg(latest)),
                Scalar(QString("Select sum(AmountOut) From tblTransaction Where TaskID=%1 And UserId='ann'").arg(task)),
                Scalar(QString("Select sum(x) From (Select Case When b.Planned > coalesce(t.s, 0) Then b.Planned Else "
                               "coalesce(t.s, 0) End As x From tblHeadBudgets b Left Join %2 t On t.HeadId=b.HeadId Where "
                               "b.TaskID=%1 And b.Revision=%3 Union All Select t.s From %2 t Where t.HeadId Not In "
                               "(Select HeadId From tblHeadBudgets Where TaskID=%1 And Revision=%3)) u")
                           .arg(task).arg(spent, latest))};
    }
};

QString figures(const ProjectForecast &f)
{
    return QString("%1|%2|%3|%4").arg(f.plannedSum).arg(f.spent).arg(f.onPlan).arg(f.atRate ? QString::number(*f.atRate) : "-");
}

TEST_P(BudgetsTest, PlanSumsAndForecastsAgreeWithTheSumsInSql)
{
    EXPECT_EQ(SaveBudget(1, {{1, 3000}, {2, 500}}), 0);
    EXPECT_EQ(SaveBudget(2, {{1, 100}, {3, 20}}), 0);
    EXPECT_EQ(SaveBudget(3, {{2, 1000}}), 0);
    const std::map<std::int32_t, ProjectForecast> all = LoadForecasts(kToday);
    ASSERT_EQ(all.size(), 3u);  // project 4 has no plan
    const QDate starts[] = {{2026, 1, 1}, {2026, 3, 1}, {2025, 1, 1}}, ends[] = {{2026, 12, 31}, {}, {2025, 6, 30}};
    const char *rates[] = {"6790", "-", "1200"};  // twice the spending at half time; none; what was spent
    for (int task = 1; task <= 3; ++task) {
        const ProjectForecast &f = all.at(task);
        const QStringList sql = SqlFigures(task);
        EXPECT_TRUE(f.planned);
        EXPECT_EQ(figures(f), QString("%1|%2|%3|%4").arg(sql[0].toDouble()).arg(sql[1].toDouble()).arg(sql[2].toDouble())
                                  .arg(rates[task - 1])) << task;
        EXPECT_EQ(figures(ForecastOf(BudgetOf(task), starts[task - 1], ends[task - 1], kToday)), figures(f)) << task;
    }
    EXPECT_EQ(figures(all.at(1)), "3500|3395|3695|6790");

    const ProjectBudget b = BudgetOf(1);
    QStringList heads;
    for (const HeadBudget &h : b.heads)
        heads << QString("%1:%2:%3:%4").arg(h.head).arg(h.planned ? QString::number(*h.planned) : "-").arg(h.spent).arg(int(h.expense));
    EXPECT_EQ(heads, (QStringList{"Grant:-:0:0", "labour:500:200:1", "Materials:3000:3120:1", "Travel:-:75:1"}));
    EXPECT_EQ(b.PlannedSum() + b.BaselineSum(), 7000);
    const HeadStanding materials = StandingOf(1, 1);
    EXPECT_EQ(QString("%1 %2 %3").arg(materials.head).arg(*materials.planned).arg(materials.spent), "Materials 3000 3120");
    EXPECT_FALSE(StandingOf(1, 3).planned);
    if (!server) {  // the line after every Save: one statement, every table searched by an index
        StatementLog::Clear();
        StandingOf(1, 1);
        ASSERT_EQ(Statements().size(), 1);
        for (const QString &step : Joined("EXPLAIN QUERY PLAN " + Statements().first()))
            EXPECT_FALSE(step.contains("SCAN")) << step.toStdString();
    }
    EXPECT_EQ(OverPlanMessage(materials, 2990), "Materials is now 120.00 over its plan of 3,000.00 (104 %).");
    // Nobody else reads ann's plans.
    As("dan");
    EXPECT_TRUE(LoadForecasts(kToday).empty());
    EXPECT_FALSE(StandingOf(1, 1).planned);
}

// Saving keeps revisions: the baseline, then 1, 2; the same plan again makes none; a head removed
// is no longer planned. Members read the plan; only the owner saves. A deleted project's plan goes
// with it, and a saved revision is never changed.
TEST_P(BudgetsTest, RevisionsAreKeptAndOnlyTheOwnerSaves)
{
    EXPECT_EQ(SaveBudget(1, {{1, 3000}}), 0);
    EXPECT_EQ(SaveBudget(1, {{1, 3000}}), -1);
    EXPECT_EQ(SaveBudget(1, {{1, 3000}, {2, 500.25}}), 1);
    EXPECT_EQ(SaveBudget(1, {{2, 500.25}}), 2);
    EXPECT_EQ(SaveBudget(4, {}), -1);
    EXPECT_THROW(SaveBudget(1, {{1, -1}}), SqlError);
    EXPECT_THROW(SaveBudget(1, {{1, std::nan("")}}), SqlError);
    EXPECT_THROW(SaveBudget(1, {{5, 10}}), SqlError);  // dan's head
    ProjectBudget b = BudgetOf(1);
    ASSERT_EQ(b.revisions.size(), 3u);
    EXPECT_EQ(b.revisions[2].revision * 10 + b.revisions[0].revision, 20);
    EXPECT_EQ(b.revisions[2].savedBy, "ann");
    EXPECT_LE(b.revisions[2].savedAt.secsTo(QDateTime::currentDateTimeUtc()), 60);
    EXPECT_EQ(QString("%1 %2").arg(b.PlannedSum()).arg(b.BaselineSum()), "500.25 3000");
    // A planned head deleted since is no longer in the plan: the same plan without it is no change.
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (6,'Spare',1,'ann')");
    EXPECT_EQ(SaveBudget(1, {{2, 500.25}, {6, 9}}), 3);
    Seed("Delete From defHeads Where Id=6");
    EXPECT_EQ(SaveBudget(1, {{2, 500.25}}), -1);

    ShareProject(1, "bob", ProjectRole::Editor);
    ShareProject(1, "cat", ProjectRole::Viewer);
    for (const char *member : {"bob", "cat"}) {
        As(member);
        EXPECT_EQ(BudgetOf(1).PlannedSum(), 500.25) << member;
        EXPECT_EQ(LoadForecasts(kToday).count(1), 1u) << member;
        try {
            SaveBudget(1, {{1, 1}});
            ADD_FAILURE() << member;
        } catch (const SqlError &e) {
            EXPECT_EQ(QString(e.what()), "Only the project's owner can change its plan.");
        }
    }
    As("ann");
    if (!server) {
        EXPECT_THROW(Seed("Update tblHeadBudgets Set Planned=1"), SqlError);
        EXPECT_THROW(Seed("Delete From tblBudgetRevisions"), SqlError);
    }
    SharedConnection.Execute("Delete From tblTasks Where TaskID=1");
    EXPECT_EQ(Scalar("Select count(*) From tblHeadBudgets Where TaskID=1") + Scalar("Select count(*) From tblBudgetRevisions Where TaskID=1"), "00");
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,CostUpToNow) VALUES (1,'ann',2,'New',0)");
    b = BudgetOf(1);
    EXPECT_TRUE(b.revisions.empty());
    EXPECT_FALSE(b.HasPlan());
}

QMK_ON_BOTH_ENGINES(BudgetsTest);

class BudgetsServerTest : public ProgramFolderTest {
protected:
    EngineKind Kind() const override { return EngineKind::Server; }
};

// What each user may do with the plan of ann's project 1 (bob its editor, cat its viewer) through a
// client of their own: Y where the statement runs and reaches a row, N where it is refused or
// reaches none. %U is the client's own name. Each runs in a transaction that is rolled back.
TEST_F(BudgetsServerTest, OnlyTheOwnerAddsAPlanAndNobodyChangesOne)
{
    OpenDatabase();
    for (const char *user : {"ann", "bob", "cat", "dan"})
        ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
    Seed("INSERT INTO defHeads VALUES (1,'Fuel',1,'ann'),(2,'Food',1,'ann'),(3,'His',1,'dan')");
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Shed')");
    std::map<QString, std::unique_ptr<PgEngine>> clients;
    for (const char *user : {"ann", "bob", "cat", "dan"})
        clients[user] = std::make_unique<PgEngine>(server->conninfo, user, ServerScene::kUserPassword);
    clients["ann"]->Execute("Select qmk_share(1, 'bob', 'Editor')");
    clients["ann"]->Execute("Select qmk_share(1, 'cat', 'Viewer')");
    SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, "ann", ServerScene::kUserPassword));
    CurrentUserId = "ann";
    ASSERT_EQ(SaveBudget(1, {{1, 10}}), 0);
    ASSERT_EQ(SaveBudget(1, {{1, 20}}), 1);

    const struct {
        const char *sql;
        const char *expected;  // ann bob cat dan
    } cases[] = {
        {"Select 1 From tblHeadBudgets Where TaskID=1 Union All Select 1 From tblBudgetRevisions", "YYYN"},
        {"INSERT INTO tblBudgetRevisions VALUES (1,2,'x','x','%U') RETURNING 1", "YNNN"},
        {"INSERT INTO tblBudgetRevisions VALUES (1,2,'x','x','ann') RETURNING 1", "YNNN"},
        {"INSERT INTO tblHeadBudgets VALUES (1,1,2,5,'%U') RETURNING 1", "YNNN"},
        {"INSERT INTO tblHeadBudgets VALUES (1,0,2,5,'%U') RETURNING 1", "NNNN"},  // an earlier revision
        {"INSERT INTO tblHeadBudgets VALUES (1,1,3,5,'%U') RETURNING 1", "NNNN"},  // dan's head
        {"INSERT INTO tblHeadBudgets VALUES (1,1,2,'NaN','%U') RETURNING 1", "NNNN"},
        {"Update tblHeadBudgets Set Planned=1 RETURNING 1", "NNNN"},
        {"Update tblBudgetRevisions Set SavedBy='x' RETURNING 1", "NNNN"},
        {"Delete From tblHeadBudgets RETURNING 1", "NNNN"},
        {"Delete From tblBudgetRevisions RETURNING 1", "NNNN"},
    };
    for (const auto &c : cases) {
        QString got;
        for (const char *user : {"ann", "bob", "cat", "dan"}) {
            PgEngine &client = *clients[user];
            bool reached = false;
            try {
                client.BeginWrite();
                reached = !client.Execute(QString(c.sql).replace("%U", user))->Eof();
            } catch (const SqlError &) {
            }
            client.Rollback();
            got += reached ? 'Y' : 'N';
        }
        EXPECT_EQ(got, c.expected) << c.sql;
    }
    // Who saved a revision and when is the server's to say.
    clients["ann"]->Execute("INSERT INTO tblBudgetRevisions VALUES (1,2,'2000-01-01T00:00:00Z','bob','ann')");
    EXPECT_EQ(Scalar("Select SavedBy || ' ' || (SavedAt > to_char(now() - interval '1 hour', 'YYYY-MM-DD\"T\"HH24')) "
                     "From tblBudgetRevisions Where Revision=2"), "ann true");
}

class BudgetsUpgradeTest : public ProgramFolderTest {};

// A file of version 4 is brought to version 5 with its data; a plan is then saved, and the file
// opens again with its new triggers known.
TEST_F(BudgetsUpgradeTest, AFileOfVersion4IsUpgradedAndPlans)
{
    QFile::remove(DatabasePath());
    CreateDatabaseFile(DatabasePath(), Sample::Demo, 4);
    OpenDatabase();
    CurrentUserId = "demo";
    EXPECT_EQ(Scalar("PRAGMA user_version") + "|" + Scalar("Select count(*) From tblTransaction"), "5|48");
    EXPECT_EQ(SaveBudget(1, {{3, 250}}), 0);
    ResetProcessState();
    OpenDatabase();
    CurrentUserId = "demo";
    EXPECT_EQ(BudgetOf(1).PlannedSum(), 250);
    for (const QString &trigger : FilePlanTriggers())
        EXPECT_TRUE(IsOwnSchemaObject("trigger", "t", trigger));
}

// A server database of version 4 is brought to version 5 with its data; its owner then plans and
// a member reads the plan.
TEST_F(BudgetsUpgradeTest, ServerUpgradedFromVersion4Plans)
{
    server = std::make_unique<ServerScene>(4);
    for (const char *user : {"ann", "bob"})
        ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
    Seed("INSERT INTO defHeads VALUES (1,'Fuel',1,'ann')");
    Seed("INSERT INTO tblTasks (TaskID,UserId,TaskName) VALUES (1,'ann','Shed')");
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID,HeadId,AmountOut) VALUES (1,'ann',1,1,5)");
    EXPECT_EQ(UpgradeServerDatabase(server->conninfo, "qmk_super", server->superPassword), 4);
    EXPECT_EQ(Scalar("Select max(version) From qmk_schema") + "|" + Scalar("Select sum(AmountOut) From tblTransaction"), "5|5");
    SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, "ann", ServerScene::kUserPassword));
    CurrentUserId = "ann";
    EXPECT_EQ(SaveBudget(1, {{1, 4}}), 0);
    ShareProject(1, "bob", ProjectRole::Viewer);
    SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, "bob", ServerScene::kUserPassword));
    CurrentUserId = "bob";
    EXPECT_EQ(OverPlanMessage(StandingOf(1, 1), 4), "Fuel is now 1.00 over its plan of 4.00 (125 %).");
}

// The message tells a crossing only, in cents as shown: a sum that floats past its plan by a
// fraction of a cent is not over it; a plan of nothing has no percentage.
TEST(OverPlanMessage, TellsACrossingInWholeCents)
{
    EXPECT_EQ(OverPlanMessage({"Fuel", 0.3, 0.1 + 0.2}, 0.1), "");
    EXPECT_EQ(OverPlanMessage({"Fuel", 3000, 3500}, 3100), "");  // over before already
    EXPECT_EQ(OverPlanMessage({"Fuel", std::nullopt, 3500}, 0), "");
    EXPECT_EQ(OverPlanMessage({"Fuel", 1000000, 1234567.891}, 1000000), "Fuel is now 234,567.89 over its plan of 1,000,000.00 (123 %).");
    EXPECT_EQ(OverPlanMessage({"Fuel", 0, 5}, 0), "Fuel is now 5.00 over its plan of 0.00.");
    EXPECT_EQ(*ElapsedShare({2026, 1, 1}, {2026, 1, 11}, {2026, 1, 5}), 0.4);
    EXPECT_EQ(*ElapsedShare({2026, 1, 1}, {2026, 1, 11}, {2025, 1, 5}), 0);
    EXPECT_FALSE(ElapsedShare({2026, 1, 1}, {2026, 1, 1}, {2026, 1, 5}));
}

}  // namespace
