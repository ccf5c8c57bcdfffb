// The projects overview: its figures against sums made independently in SQL, its sorting, its charts'
// series and saving a chart as PNG.
#include "TestSupport.h"
#include "data/Budgets.h"
#include "data/Sharing.h"
#include "ui/Look.h"

#include "ledger/ProjectCharts.h"
#include "ledger/frmOverview.h"

#include <QHeaderView>
#include <QImage>
#include <QTableView>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSet>
#include <QtCharts/QChartView>
#include <QtCharts/QHorizontalBarSeries>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>

namespace {

// ann's projects: Garage (entries in and out, a negative amount in, bob's entry on it), Shed (planned
// 0), Roof (no entries, planned 1200), Porch (planned -50, another status); bob's project and entry.
class OverviewTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        OnBothEngines::SetUp();
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann'),(3,'Wages',1,'ann'),(4,'B',1,'bob')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' '),"
                      "(6,'ann',3,'shed','2023-12-01',NULL,0,0,' '),(8,'ann',2,'Roof','2024-02-01',NULL,0,1200,' '),"
                      "(5,'ann',2,'Porch','2024-01-15',NULL,0,-50,' '),(9,'bob',3,'Bobs','2024-01-01',NULL,0,9,' ')",
                      "tblTransaction VALUES (1,'ann','2024-03-05',1,0,120,'',7),(2,'ann','2024-03-06',2,500,0,'',7),"
                      "(3,'ann','2024-03-05',1,0,40,'',7),(4,'bob','2024-03-05',1,0,999,'',7),"
                      "(5,'ann','2024-03-07',3,-30,600,'',7),(6,'ann','2024-03-05',1,0,70,'',6),"
                      "(7,'bob','2024-01-02',4,5,10,'',9)"});
    }
    void Open(qint32 status = 0) { w = std::make_unique<frmOverview>(status, nullptr); w->show(); }
    QStringList Rows(int col = -1) const
    {
        QStringList out;
        const QAbstractItemModel *m = w->tblProjects->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < m->columnCount(); ++c)
                row << m->index(r, c).data().toString();
            out << (col < 0 ? row.join('|') : row[col]);
        }
        return out;
    }
    void ClickHeader(int col)
    {
        QHeaderView *h = w->tblProjects->horizontalHeader();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(col) + 5, 5));
    }
    template <class S> static S *Series(QChartView *v) { return qobject_cast<S *>(v->chart()->series().value(0)); }
    static QStringList Bars(QChartView *v)
    {
        QStringList out;
        auto *series = qobject_cast<QAbstractBarSeries *>(v->chart()->series().value(0));
        const QStringList names = qobject_cast<QBarCategoryAxis *>(series->attachedAxes().value(0))->categories();
        for (int i = 0; i < names.size(); ++i) {
            QStringList values{names[i]};
            for (QBarSet *set : series->barSets())
                values << QString::number(set->at(i));
            out << values.join(':');
        }
        return out;
    }
    std::unique_ptr<frmOverview> w;
};

// The table against sums computed apart (entries joined to projects, then grouped), for every status.
TEST_P(OverviewTest, FiguresAreTheUsersOwnSumsPerProjectUnderTheStatusFilter)
{
    Open();
    EXPECT_EQ(Rows(), (QStringList{"5|Porch|New|15/01/2024|-50.00|0.00|0.00|0.00|\u2014|||",
                                   "6|shed|Running|01/12/2023|0.00|0.00|70.00|-70.00|\u2014|||",
                                   "7|Garage|Running|01/03/2024|500.00|470.00|760.00|-290.00|152.0 %|||",
                                   "8|Roof|New|01/02/2024|1200.00|0.00|0.00|0.00|0.0 %|||",
                                   "|Total|||1650.00|470.00|830.00|-360.00|50.3 %|||"}));
    EXPECT_FALSE(w->tblProjects->model()->index(0, frmOverview::SpentShare).data(Qt::UserRole).isValid());
    for (qint32 status : {0, 1, 2, 3, 4}) {
        Open(status);
        const QString filter = status > 1 ? QString(" And k.StatusID=%1").arg(status) : QString();
        QStringList expected = Joined("Select k.TaskID, coalesce(sum(t.AmountIn),0), coalesce(sum(t.AmountOut),0) "
            "From tblTasks k Left Join tblTransaction t On t.TaskID=k.TaskID And t.UserId='ann' Where k.UserId='ann'" +
            filter + " Group by k.TaskID Order by k.TaskID");
        QStringList shown;
        for (const ProjectFigures &p : w->Projects())
            shown << QString("%1|%2|%3").arg(p.id).arg(FormatNumber(p.received)).arg(FormatNumber(p.spent));
        EXPECT_EQ(shown, expected) << status;
        EXPECT_EQ(Rows(1).last(), "Total");
    }
}

// Every column sorts as its values (numbers, dates, texts in any case), both ways; totals stay last
// and the selected project stays selected.
TEST_P(OverviewTest, SortingByAnyColumnKeepsTheTotalsRowLast)
{
    Open();
    w->tblProjects->selectRow(2);  // Garage
    const struct { int col; const char *ids; } cases[] = {
        {frmOverview::Planned, "5,6,7,8"}, {frmOverview::Planned, "8,7,6,5"}, {frmOverview::Start, "6,5,8,7"},
        {frmOverview::Start, "7,8,5,6"}, {frmOverview::Name, "7,5,8,6"}, {frmOverview::Balance, "7,6,5,8"},
        {frmOverview::SpentShare, "5,6,8,7"}, {frmOverview::Id, "5,6,7,8"}};
    for (const auto &c : cases) {
        ClickHeader(c.col);
        QStringList ids = Rows(0);
        EXPECT_EQ(ids.takeLast() + Rows(1).last(), "Total");
        EXPECT_EQ(ids.join(','), c.ids) << c.col;
        EXPECT_EQ(w->SelectedProject(), 7);
        EXPECT_EQ(Rows(0).value(w->tblProjects->currentIndex().row()), "7");
    }
}

// The charts hold the figures: planned and spent per project, the balance after each date (summed
// apart up to that date), the spending per head without heads of nothing or other users' entries.
TEST_P(OverviewTest, ChartsHoldTheProjectsAndTheSelectedProjectsFigures)
{
    Open();
    EXPECT_EQ(Bars(w->chtPlannedSpent),
              (QStringList{"Porch (5):-50:0", "shed (6):0:70", "Garage (7):500:760", "Roof (8):1200:0"}));
    w->tblProjects->selectRow(2);
    const auto *line = Series<QLineSeries>(w->chtBalance);
    QStringList points;
    for (const QPointF &p : line->points())
        points << QDateTime::fromMSecsSinceEpoch(qint64(p.x())).date().toString("dd/MM/yyyy") + "=" +
                      Scalar("Select sum(AmountIn)-sum(AmountOut) From tblTransaction Where UserId='ann' And "
                             "TaskID=7 And TransactionDate<='" +
                             QDateTime::fromMSecsSinceEpoch(qint64(p.x())).date().toString(Qt::ISODate) + "'") +
                      "|" + FormatNumber(p.y());
    EXPECT_EQ(points, (QStringList{"05/03/2024=-160|-160", "06/03/2024=340|340", "07/03/2024=-290|-290"}));
    EXPECT_EQ(Bars(w->chtSpending), (QStringList{"Wages:600", "Cement:160"}));
    w->tblProjects->selectRow(4);  // the totals row: no project
    EXPECT_EQ(Series<QLineSeries>(w->chtBalance)->count() + w->SelectedProject(), 0);
    // Beyond 20 projects only the 20 largest planned costs have bars, names cut in the middle; how
    // many others there are and their totals are in the title.
    std::vector<ProjectFigures> many;
    for (int i = 1; i <= 23; ++i) {
        ProjectFigures p;
        p.id = i, p.name = QString("P%1").arg(i), p.planned = double(i * 10), p.received = double(i), p.spent = 1.5;
        many.push_back(p);
    }
    many[22].name = "Renovation of the north wing, phase two";
    many[0].planned = 1e6;
    std::unique_ptr<QChart> chart(MakePlannedSpentChart(many));
    auto *series = qobject_cast<QHorizontalBarSeries *>(chart->series().value(0));
    auto *axis = qobject_cast<QBarCategoryAxis *>(series->attachedAxes().value(0));
    EXPECT_EQ(axis->count(), 20);
    EXPECT_EQ(axis->categories().first() + "|" + axis->categories().value(18) + "|" + axis->categories().last(),
              "P5 (5)|Renovation o\u2026, phase two (23)|P1 (1)");
    EXPECT_EQ(chart->title(), "Planned and spent: the 20 largest of 23 projects<br>the other 3 planned 90 and spent 4.50");
    EXPECT_TRUE(chart->localizeNumbers() && !(chart->locale().numberOptions() & QLocale::OmitGroupSeparator));
}

// A chart is saved as the PNG file the dialog names, through a temporary file; a cancelled dialog
// writes nothing, a folder that cannot be written says why. Tab reaches the charts, Escape closes.
TEST_P(OverviewTest, SavingAChartWritesThePngChosenAndKeyboardReachesEverything)
{
    Open();
    QString answer;
    QList<ui::SaveFileRequest> asked;
    const auto previous = ui::SetSaveFileHandler([&](const ui::SaveFileRequest &r) { asked << r; return answer; });
    answer = Folder() + "/chart";
    w->btnSaveChart3->click();
    EXPECT_EQ(QImage(answer + ".png").size(), w->chtSpending->size());
    EXPECT_NE(QImage(answer + ".png").pixelColor(0, 0), ui::kWindowBackground);  // no window colour in the corners
    EXPECT_EQ(QFileInfo(asked.value(0).suggestedPath).fileName(), "Project " + QString::number(w->SelectedProject()) + " - " + 
              w->tblProjects->model()->index(0, frmOverview::Name).data().toString() + " spending.png");
    EXPECT_EQ(asked.value(0).filter, "PNG images (*.png)");
    answer.clear();
    w->btnSaveChart1->click();
    answer = Folder() + "/missing/chart.png";
    boxes.Expect();
    w->btnSaveChart2->click();
    EXPECT_TRUE(boxes.Last().startsWith("The chart could not be saved as " + QDir::toNativeSeparators(answer)));
    EXPECT_EQ(QDir(Folder()).entryList({"chart*"}, QDir::Files).join(','), "chart.png");
    ui::SetSaveFileHandler(previous);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->tblProjects->setFocus();
    Press(w->tblProjects, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->chtPlannedSpent);
    Press(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
}

// Plans by heads: Garage (ends 21/03/2024, half its time gone on 11/03/2024) over plan on Cement,
// Wages under; Roof planned without entries or an end date; bob's Bobs planned and shared with ann.
// The plan's total and both forecasts in the table (empty where not planned or not known), the
// totals row adding what is there, sorting, one read of the forecasts however many projects, and the
// selected project's chart of planned, spent and forecast per planned head with its plan marked.
TEST_P(OverviewTest, PlansByHeadsShowTheirTotalsForecastsAndChart)
{
    ui::SetClock([] { return QDateTime(QDate(2024, 3, 11), QTime(12, 0)); });
    Seed("UPDATE tblTasks SET EndDate='2024-03-21' WHERE TaskID=7");
    SaveBudget(7, {{1, 100}, {3, 1000}});
    SaveBudget(8, {{1, 50}});
    const auto as = [&](const char *user) {
        if (server)
            SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, ServerRoleOf(user), ServerScene::kUserPassword));
        CurrentUserId = user;
    };
    if (server)
        ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    else
        Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (10,'ann','x'),(11,'bob','x')");
    as("bob");
    SaveBudget(9, {{4, 40}});
    ShareProject(9, "ann", ProjectRole::Viewer);
    as("ann");

    StatementLog::Clear();
    Open();
    const qsizetype statements = Statements().size();
    EXPECT_EQ(Rows(), (QStringList{"5|Porch|New|15/01/2024|-50.00|0.00|0.00|0.00|\u2014|||",
                                   "6|shed|Running|01/12/2023|0.00|0.00|70.00|-70.00|\u2014|||",
                                   "7|Garage|Running|01/03/2024|500.00|470.00|760.00|-290.00|152.0 %|1100.00|1160.00|1520.00",
                                   "8|Roof|New|01/02/2024|1200.00|0.00|0.00|0.00|0.0 %|50.00|50.00|",
                                   "9|Bobs (bob's)|Running|01/01/2024|9.00|5.00|10.00|-5.00|111.1 %|40.00|40.00|",
                                   "|Total|||1659.00|475.00|840.00|-365.00|50.6 %|1190.00|1250.00|1520.00"}));
    ClickHeader(frmOverview::PlanByHeads);
    EXPECT_EQ(Rows(0).mid(0, 5).join(','), "5,6,9,8,7");

    // Garage's chart: a group a planned head (Client is not planned), the plan marked over it.
    w->tblProjects->selectRow(4);
    EXPECT_EQ(w->chtBudget->chart()->title(), "Plan by heads \u2014 Garage");
    EXPECT_EQ(Bars(w->chtBudget), (QStringList{"Cement:100:160:160", "Wages:1000:600:1000"}));
    QStringList shown;
    for (QBarSet *set : Series<QAbstractBarSeries>(w->chtBudget)->barSets())
        shown << set->label();
    auto *plan = qobject_cast<QScatterSeries *>(w->chtBudget->chart()->series().value(1));
    for (const QPointF &p : plan ? plan->points() : QList<QPointF>())
        shown << QString("%1:%2").arg(p.x()).arg(p.y()) + (plan->objectName() == charts::kBudgetPlan ? "" : "?");
    EXPECT_EQ(shown.join(','), "Planned,Spent,Forecast,0:100,1:1000");
    w->tblProjects->selectRow(2);  // bob's, as its member sees it
    EXPECT_EQ(Bars(w->chtBudget), QStringList{"B:40:10:40"});
    w->tblProjects->selectRow(1);  // shed: no plan
    EXPECT_EQ(w->chtBudget->chart()->title() + "|" + Bars(w->chtBudget).join(','), "No plan by heads \u2014 shed|");

    // Thirty more projects: the window still reads what it did, not a statement more a project.
    QStringList more;
    for (int id = 100; id < 130; ++id)
        more << QString("(%1,'ann',3,'More %1','2024-03-01',NULL,0,10,' ')").arg(id);
    Seed("INSERT INTO tblTasks VALUES " + more.join(','));
    StatementLog::Clear();
    Open();
    EXPECT_EQ(Statements().size(), statements) << Statements().join('\n').toStdString();
    ui::SetClock({});
}

// A statement that fails is told once in the "Error" box; the window opens with its totals row only.
TEST_P(OverviewTest, AFailingStatementIsToldOnce)
{
    Seed("DROP TABLE tblTransaction");
    boxes.Expect();
    Open();
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    EXPECT_EQ(Rows(), QStringList{"|Total|||0.00|0.00|0.00|0.00|\u2014|||"});
}

QMK_ON_BOTH_ENGINES(OverviewTest);

}  // namespace
