// A long ledger streamed into the window: its first screen at once, the rest as the grid needs it,
// with the window answering (Save, Delete, End, a reload) as with every row loaded; and every other
// reader of a ledger (Export as, the PDF) reading the same rows once, in the ledger's order.
#include "TestSupport.h"

#include "data/RowStream.h"
#include "export/GridColumns.h"
#include "export/LedgerExport.h"
#include "ledger/LedgerReport.h"
#include "ledger/frmMainMenu.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>

namespace {

constexpr int kEntries = 5000;  // more than the first screen and than two background steps

// ann's project 7 with kEntries entries (several a day, ids not in date order) and bob's project 8.
class StreamTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        OnBothEngines::SetUp();
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' '),"
                      "(6,'ann',3,'Shed','2024-02-01',NULL,0,500,' ')"});
        QStringList rows;
        for (int i = 1; i <= kEntries; ++i)
            rows << QString("(%1,'ann','%2',%3,%4,%5,'e%1',7)").arg(i).arg(QDate(2020, 1, 1).addDays((i * 7919) % 900)
                        .toString(Qt::ISODate)).arg(1 + i % 2).arg(i % 2 ? 0 : 3).arg(i % 2 ? 1 : 0);
        Seed("INSERT INTO tblTransaction VALUES " + rows.join(','));
        w = std::make_unique<frmMainMenu>();
        w->show();
    }
    // The ids of the ledger as a plain read of its statement gives them.
    QStringList Expected() { return Column("Select Id From tblTransaction Where UserId='ann' and TaskID=7 Order by TransactionDate,Id"); }
    QStringList GridIds()
    {
        QStringList ids;
        for (int r = 1; r < g()->Rows(); ++r)
            ids << g()->TextMatrix(r, LedgerColumn::Id);
        return ids;
    }
    void ShowGarage()
    {
        const QPoint at = w->gdPreviewList->visualRect(w->gdPreviewList->model()->index(1, 1)).center();
        QTest::mouseClick(w->gdPreviewList->viewport(), Qt::LeftButton, {}, at);
        ASSERT_EQ(w->lblTaskNo->text(), "7");
    }
    // The background of the event loop brings the rest.
    void StreamToTheEnd()
    {
        for (int i = 0; i < 1000 && g()->Streaming(); ++i)
            QTest::qWait(5);
        ASSERT_FALSE(g()->Streaming());
    }
    ui::Grid *g() { return w->gdTansactionsList; }
    std::unique_ptr<frmMainMenu> w;
};
QMK_ON_BOTH_ENGINES(StreamTest);

TEST_P(StreamTest, TheFirstScreenComesAtOnceAndTheWindowAnswersAsWithEveryRow)
{
    ShowGarage();
    // The first screen and the totals at once; the balance written back and committed meanwhile.
    EXPECT_EQ(g()->RowsLoaded(), ui::Grid::kFirstRows + 1);
    EXPECT_TRUE(g()->Streaming());
    EXPECT_EQ(w->zeMoneyReceived->text() + "|" + w->zeMoneySpent->text(), "7500|2500");
    if (!server) {
        Connection other;
        other.Open("dbq=" + DatabasePath(), {}, kDatabasePassword);
        EXPECT_EQ(other.Execute("Select CostUpToNow From tblTasks Where TaskID=7")->Fields(0).toString(), "5000");
    } else {
        EXPECT_EQ(Scalar("Select CostUpToNow From tblTasks Where TaskID=7"), "5000");
    }
    const QStringList expected = Expected();
    EXPECT_EQ(g()->TextMatrix(1, LedgerColumn::Id), expected.first());

    // End goes to the last entry, however few rows were stepped.
    g()->setFocus();
    Press(g(), Qt::Key_End);
    EXPECT_EQ(g()->RowsLoaded(), kEntries + 1);
    EXPECT_EQ(g()->TextMatrix(g()->Row(), LedgerColumn::Id), expected.last());
    EXPECT_EQ(g()->currentIndex().row() + 1, kEntries);

    // A reload while streaming starts again; the background brings every row once, in order.
    ShowGarage();
    EXPECT_TRUE(g()->Streaming());
    ShowGarage();
    StreamToTheEnd();
    EXPECT_EQ(GridIds(), expected);
    EXPECT_EQ(g()->Row(), kEntries);  // the current row is the last one, as before
    EXPECT_EQ(g()->TextMatrix(kEntries, LedgerColumn::Head), expected.last().toInt() % 2 ? "Client" : "Cement");

    // Save in the middle of the stream, after another program wrote: stored once, and the reload lists it.
    ShowGarage();
    if (!server) {
        Connection other;
        other.Open("dbq=" + DatabasePath(), {}, kDatabasePassword);
        other.Execute("Update tblTasks Set Notes='elsewhere' Where TaskID=6");
    }
    w->btnAddAction->click();
    w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText("Client"));
    w->dtTransactionDate->SetValue(QDate(2020, 1, 2));
    Put(w->txtTransactionAmount, "9");
    Put(w->txtTransactionRemarks, "middle");
    w->cmdSave->click();
    EXPECT_EQ(Column("Select Id From tblTransaction Where Remarks='middle'"), QStringList{QString::number(kEntries + 1)});
    EXPECT_EQ(w->zeMoneyReceived->text(), "7509");
    // Delete in the middle of the stream, after another program wrote: the chosen row goes, and only it.
    if (!server) {
        Connection other;
        other.Open("dbq=" + DatabasePath(), {}, kDatabasePassword);
        other.Execute("Update tblTasks Set Notes='again' Where TaskID=6");
    }
    const QPoint at = g()->visualRect(g()->model()->index(2, 1)).center();
    QTest::mouseClick(g()->viewport(), Qt::LeftButton, {}, at);
    const QString chosen = g()->TextMatrix(3, LedgerColumn::Id);
    EXPECT_TRUE(g()->Streaming());
    boxes.Expect(ui::Answer::Yes);
    w->btnDeleteAction->click();
    EXPECT_EQ(Scalar("Select count(*) From tblTransaction Where Id=" + chosen), "0");
    StreamToTheEnd();
    EXPECT_EQ(GridIds(), Expected());
    EXPECT_EQ(GridIds().size(), kEntries);
}

// Export as reads the ledger through the same stream as the window: every entry once, in the ledger's
// order, as a plain read of the same statement gives them.
TEST_P(StreamTest, ExportAsHoldsTheRowsAPlainReadGives)
{
    QStringList exported;
    for (const auto &e : LoadLedgerTable(7).entries)
        exported << e[1].text;
    EXPECT_EQ(exported, Column("Select Remarks From tblTransaction Where UserId='ann' and TaskID=7 Order by TransactionDate,Id"));
}

// The demo user's ledgers, as the earlier loader read them in full, through the window, Export as and the PDF.
class DemoStreamTest : public OnBothEngines<ProgramFolderTest> {};
QMK_ON_BOTH_ENGINES(DemoStreamTest);
TEST_P(DemoStreamTest, TheWindowExportAsAndThePdfShowTheDemoLedgersAsAPlainRead)
{
    Scene("demo");
    if (server) {
        Connection admin;
        admin.Use(std::make_unique<PgEngine>(server->conninfo, "qmk_super", server->superPassword, true));
        AddDemoData(admin, false);
    } else {
        AddDemoData(SharedConnection, false);
    }
    frmMainMenu w;
    w.show();
    const QString pdf = Folder() + "/ledger.pdf";
    ui::SetSaveFileHandler([&](const ui::SaveFileRequest &) { return pdf; });
    for (int task = 1; task <= 3; ++task) {
        const QStringList plain = Column(QString("Select Remarks From tblTransaction Where UserId='demo' and TaskID=%1 "
                                                 "Order by TransactionDate,Id").arg(task));
        ASSERT_GE(plain.size(), 12);
        QStringList fromExport, fromGrid;
        for (const auto &e : LoadLedgerTable(task).entries)
            fromExport << e[1].text;
        w.LoadInGridTransactions(task);
        for (int r = 1; r < w.gdTansactionsList->Rows(); ++r)
            fromGrid << w.gdTansactionsList->TextMatrix(r, LedgerColumn::Remarks);
        EXPECT_EQ(fromExport, plain);
        EXPECT_EQ(fromGrid, plain);
        ASSERT_TRUE(SaveLedgerPdf(task));
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        text.waitForFinished(60000);
        QStringList printed;
        for (const auto &m : QRegularExpression("(Client payment|Grant|Materials|Labour|Travel|Equipment hire) #\\d+")
                                 .globalMatch(QString::fromUtf8(text.readAllStandardOutput())))
            printed << m.captured(0);
        EXPECT_EQ(printed, plain);
    }
    ui::SetSaveFileHandler({});
}

}  // namespace
