// The printed ledger and its PDF, read back as text with poppler's tools.
#include "TestSupport.h"

#include "data/Budgets.h"
#include "export/LedgerExport.h"
#include "ledger/LedgerReport.h"
#include "ledger/ProjectCharts.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QDir>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QChart>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <sys/stat.h>

namespace {

const QString kGreek = QStringLiteral(u"Ωμέγα σκυρόδεμα"), kCyrillic = QStringLiteral(u"Привет цемент");

// ann's project 7 with five entries (one of them with a remark too long for its column) and one of bob's;
// the save dialog answers `answer`, the progress cancels at page `cancelAt`.
class ReportTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        // The test command installs the readers: a missing one is a failure, not a reason to skip.
        ASSERT_FALSE(QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdfinfo").isEmpty())
            << "poppler's pdftotext and pdfinfo are needed (Debian package poppler-utils)";
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,12.5,500,' ')",
                      "tblTransaction VALUES (2,'ann','2024-03-06',2,500,0,'advance',7),"
                      "(3,'ann','2024-03-05',1,0,40,NULL,7),(4,'bob','2024-03-05',1,0,999,'not anns',7)"});
        Seed(QString("INSERT INTO tblTransaction VALUES (1,'ann','2024-03-05',1,0,120,'%1',7),"
                     "(5,'ann','2024-03-07',1,0,20.5,'%2',7),(6,'ann','2024-03-08',1,0,0,'%3END',7)")
                 .arg(kGreek, kCyrillic, QString("long ").repeated(40)));
        ui::SetClock([] { return QDateTime(QDate(2026, 5, 12), QTime(9, 30)); });
        ui::SetSaveFileHandler([this](const ui::SaveFileRequest &r) {
            return asked << r.caption + "|" + r.filter + "|" + QFileInfo(r.suggestedPath).fileName(), answer; });
        ui::SetProgressHandler([this](int done, int total) {
            return steps << QString("%1/%2").arg(done).arg(total), done < cancelAt; });
    }
    void TearDown() override
    {
        ui::SetClock({});
        ui::SetSaveFileHandler({});
        ui::SetProgressHandler({});
        ui::SetPrintHandler({});
        ProgramFolderTest::TearDown();
    }
    // Entries 101 to 300, one a day from April, each remark naming its number.
    void AddEntries()
    {
        QStringList rows;
        for (int i = 101; i <= 300; ++i)
            rows << QString("(%1,'ann','%2',2,1,0,'entry %1',7)").arg(i).arg(QDate(2024, 4, 1).addDays(i).toString(Qt::ISODate));
        Seed("INSERT INTO tblTransaction VALUES " + rows.join(','));
    }
    static QString Run(const QString &tool, const QStringList &args)
    {
        QProcess p;
        p.start(tool, args);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    // The pages of a PDF as pdftotext lays them out, and how many pdfinfo counts.
    static QStringList Pages(const QString &pdf, int *count)
    {
        *count = Run("pdfinfo", {pdf}).section(QRegularExpression("Pages:\\s*"), 1).section('\n', 0, 0).toInt();
        return Run("pdftotext", {"-layout", pdf, "-"}).split('\f', Qt::SkipEmptyParts);
    }
    QString Path(const QString &name) const { return Folder() + "/" + name; }
    QStringList Files() const { return QDir(Folder()).entryList({"*.pdf*"}, QDir::Files); }

    QString answer;
    QStringList asked, steps;
    int cancelAt = 1 << 30;
};
class ReportOnBothTest : public OnBothEngines<ReportTest> {};

// The project, its entries in the ledger's order (ann's only; long remarks cut; amounts right-aligned
// with two decimals), totals and balance; with more entries the table's header on every page, page N of M.
TEST_P(ReportOnBothTest, ThePdfHoldsTheProjectItsEntriesTotalsAndPageNumbers)
{
    answer = Path("garage.pdf");
    ASSERT_TRUE(SaveLedgerPdf(7, nullptr, "Garage: phase 1/2"));  // the name offered holds no folder or drive
    EXPECT_EQ(asked.join(',') + " " + steps.join(','), "Save as PDF|PDF files (*.pdf)|Project 7 - Garage- phase 1-2.pdf 1/1");
    EXPECT_TRUE(Statements().contains("Select * from tblTransaction Where UserId='ann' and TaskID =7 Order by TransactionDate,Id"));
    EXPECT_EQ(Statements().filter("From defHeads Where Id=").size(), 2);  // once a head
    int count = 0;
    const QString page = Pages(answer, &count).join('\f');
    ASSERT_EQ(count, 1);
    for (const char *shown : {"Ledger of project 7: Garage", "Status Running", "Start date 01/03/2024", "Planned cost 500.00",
                              "Running balance", "Spending by head", "Printed by ann on 12/05/2026", "page 1 of 1"})
        EXPECT_TRUE(page.simplified().contains(shown)) << shown;
    QStringList table;
    for (const QString &line : page.split('\n').filter(QRegularExpression("^(Date|\\d\\d/|\\s*(Total|Balance:))")))
        table << line.simplified().replace(QRegularExpression("(long )+lo…"), "long…");
    EXPECT_EQ(table, (QStringList{"Date Head Remarks Received Spent", "05/03/2024 Cement " + kGreek + " 0.00 120.00",
                                  "05/03/2024 Cement 0.00 40.00", "06/03/2024 Client advance 500.00 0.00",
                                  "07/03/2024 Cement " + kCyrillic + " 0.00 20.50", "08/03/2024 Cement long… 0.00 0.00",
                                  "Total 500.00 180.50", "Balance: Credit of 319.50"})) << qPrintable(page);
    // Below the table's header the amounts' right edges make two columns.
    QSet<int> edges;
    double tableTop = 1e9;
    for (const auto &w : QRegularExpression("yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\"[^>]*>([^<]*)<")
                             .globalMatch(Run("pdftotext", {"-bbox", answer, "-"}))) {
        if (w.captured(3) == "Date")
            tableTop = w.captured(1).toDouble();
        else if (w.captured(1).toDouble() > tableTop && w.captured(3).contains(QRegularExpression("^\\d+\\.\\d\\d$")))
            edges << qRound(w.captured(2).toDouble() * 4);
    }
    EXPECT_EQ(edges.size(), 2);

    AddEntries();
    ASSERT_TRUE(SaveLedgerPdf(7));
    const QStringList more = Pages(answer, &count);
    ASSERT_TRUE(count == 5 && more.size() == count) << count;
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(more[i].contains(QString("page %1 of 5").arg(i + 1)) &&
                    more[i].count(QRegularExpression("Date\\s+Head\\s+Remarks\\s+Received\\s+Spent")) == 1) << i;
    for (int i = 101; i <= 300; ++i)  // every entry once
        EXPECT_EQ(more.join('\n').count(QRegularExpression(QString("entry %1\\b").arg(i))), 1) << i;
    EXPECT_TRUE(more.last().simplified().contains("Total 700.00 180.50 Balance: Credit of 519.50"));
    Seed("INSERT INTO tblTransaction VALUES (400,'ann','2024-04-01',1,0,519.5,'even',7)");
    ASSERT_TRUE(SaveLedgerPdf(7));
    EXPECT_TRUE(Pages(answer, &count).last().simplified().contains("Total 700.00 700.00 Balance: Balanced 0.00"));
    if (server)
        return;  // the server's columns hold numbers only
    // A head code in the file that is no number goes into no statement.
    Seed("UPDATE tblTransaction SET HeadId='2 union select Passwd from tblUsers' WHERE Id=1");
    ASSERT_TRUE(SaveLedgerPdf(7));
    EXPECT_TRUE(Statements().filter("union").isEmpty());
}

// A project without a plan prints no budget; once planned by heads its budget follows the totals:
// a line a planned head (Client is not), their totals, and the forecasts (its end date has passed,
// so at the current rate it ends at what it spent).
TEST_P(ReportOnBothTest, APlannedProjectPrintsItsBudgetAfterTheTotals)
{
    answer = Path("plan.pdf");
    int count = 0;
    ASSERT_TRUE(SaveLedgerPdf(7));
    const QString unplanned = Pages(answer, &count).join('\f');
    EXPECT_FALSE(unplanned.contains("Budget") || unplanned.contains("Forecast")) << qPrintable(unplanned);
    Seed("UPDATE tblTasks SET EndDate='2024-03-31' WHERE TaskID=7");
    SaveBudget(7, {{1, 150}});
    ASSERT_TRUE(SaveLedgerPdf(7));
    const QStringList lines = Pages(answer, &count).join('\f').split('\n');
    QStringList budget;
    for (const QString &line : lines.mid(int(lines.indexOf(QRegularExpression("\\s*Balance: .*")))))
        if (!line.simplified().isEmpty() && !line.contains("Printed by"))
            budget << line.simplified();
    EXPECT_EQ(budget, (QStringList{"Balance: Credit of 319.50", "Budget", "Head Planned Spent Left % used",
                                   "Cement 150.00 180.50 -30.50 120.3 %", "Total 150.00 180.50 -30.50 120.3 %",
                                   "Forecast at completion, on plan 180.50",
                                   "Forecast at completion, at the current rate 180.50"})) << qPrintable(lines.join('\n'));
}

// A cancel on any page, a cancelled dialog or a failure leaves no partial file and the old file as it
// was. A finished save replaces it, and a name typed without its ending gets ".pdf".
TEST_F(ReportTest, CancellingOrFailingLeavesNoFileAndTheOldOneUntouched)
{
    AddEntries();
    answer = Path("old.pdf");
    QFile old(answer);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    for (int page : {1, 5, 0}) {
        steps.clear();
        cancelAt = page;
        answer = page ? Path("old.pdf") : QString();
        EXPECT_FALSE(SaveLedgerPdf(7));
        EXPECT_EQ(steps.join(',').right(3) + BytesOf(Path("old.pdf")) + Files().join(','),
                  QString(page ? "%1/5oldold.pdf" : "oldold.pdf").arg(page));
    }
    cancelAt = 1 << 30;
    const QString title = "|3|" + AppTitle + "|0|1";
    answer = Path("missing/garage.pdf");
    boxes.Expect();
    EXPECT_FALSE(SaveLedgerPdf(7));
    EXPECT_EQ(boxes.Last(), "The ledger could not be saved as PDF: " + answer + " cannot be written (No such file or "
                            "directory)." + title);
    answer = Path("old");
    EXPECT_TRUE(SaveLedgerPdf(7));
    EXPECT_TRUE(BytesOf(Path("old.pdf")).startsWith("%PDF") && Files() == QStringList{"old.pdf"});
    Seed("DELETE FROM tblTasks WHERE TaskID=7");
    boxes.Expect();
    EXPECT_FALSE(SaveLedgerPdf(7));
    EXPECT_EQ(boxes.Last(), "The ledger could not be saved as PDF: project 7 is no longer in the database" + title);
}

// Print and Save as PDF are off until a project's ledger is on show. Print asks the print dialog, then
// draws the same pages; a print dialog cancelled prints nothing.
TEST_F(ReportTest, TheWindowsButtonsPrintAndSaveTheLedgerOnShow)
{
    frmMainMenu w;
    w.show();
    EXPECT_FALSE(w.btnPrint->isEnabled() || w.btnSavePdf->isEnabled());
    QTest::mouseClick(w.gdPreviewList->viewport(), Qt::LeftButton, {},
                      w.gdPreviewList->visualRect(w.gdPreviewList->model()->index(0, 1)).center());
    EXPECT_TRUE(w.btnPrint->isEnabled() && w.btnSavePdf->isEnabled());
    int dialogs = 0;
    ui::SetPrintHandler([&](QPrinter &printer) {
        printer.setOutputFileName(Path("printed.pdf"));
        return ++dialogs > 1;
    });
    w.btnPrint->click();
    EXPECT_TRUE(dialogs == 1 && steps.isEmpty() && Files().isEmpty());
    w.btnPrint->click();
    int count = 0;
    EXPECT_TRUE(Pages(Path("printed.pdf"), &count).value(0).contains("Ledger of project 7: Garage"));
    EXPECT_EQ(QString::number(count) + " " + steps.join(','), "1 1/1");
}

// A balance under a cent, and one of 10^12, say the same word in the window, the PDF and the
// workbook (its cached value and its formula alike); the PDF keeps the word and the amount apart.
TEST_F(ReportTest, OneBalanceWordInEveryOutputAndTheAmountBesideIt)
{
    for (const auto &[in, out, word, amount] : {std::tuple{"10.004", "10", "Credit of", "0.00"},
                                                {"1000000000000", "0", "Credit of", "1000000000000.00"},
                                                {"0.1+0.2", "0.3", "Balanced", "0.00"}}) {
        Seed("DELETE FROM tblTransaction");
        Seed(QString("INSERT INTO tblTransaction VALUES (1,'ann','2024-03-05',2,%1,0,'in',7),"
                     "(2,'ann','2024-03-06',1,0,%2,'out',7)").arg(in, out));
        frmMainMenu w;
        w.gdPreviewList->SetRow(1);
        w.gdPreviewList_Click();
        EXPECT_EQ(w.lblCost->text().trimmed() + " " + w.txtCashInWallet->text(), QString(word) + " " + amount);
        answer = Path("word.pdf");
        ASSERT_TRUE(SaveLedgerPdf(7));
        struct stat st {};
        EXPECT_TRUE(::stat(QFile::encodeName(answer).constData(), &st) == 0 && (st.st_mode & 0777) == 0600);  // not shared here
        int count = 0;
        const QString page = Pages(answer, &count).join('\f');
        EXPECT_TRUE(page.contains(QRegularExpression(QString("Balance +%1\n").arg(QRegularExpression::escape(amount)))) &&
                    page.contains(QRegularExpression(QString("Start date .*  +%1\n").arg(word)))) << qPrintable(page);
        const QString book = Path("word.xlsx");
        WriteLedgerFile(LoadLedgerTable(7), LedgerFormat::Xlsx, book);
        const QString sheet = Run("python3", {"-c", "import sys,zipfile; print(zipfile.ZipFile(sys.argv[1]).read("
                                                    "'xl/worksheets/sheet1.xml').decode())", book});
        EXPECT_TRUE(sheet.contains(QString("<f>IF(D6&gt;C6,\"Debit of\",IF(D6=C6,\"Balanced\",\"Credit of\"))</f><v>%1</v>").arg(word)))
            << qPrintable(sheet);
    }
}

// A chart's label is cut between whole characters, never inside an emoji.
TEST(ChartLabels, AreCutBetweenWholeCharacters)
{
    const QString name = QString("x").repeated(26) + QStringLiteral(u"👩‍💻😀 tail");
    std::unique_ptr<QChart> chart(MakeSpendingChart({{name, 5}}));
    QBarCategoryAxis *axis = nullptr;
    for (QAbstractAxis *a : chart->axes())
        axis = axis ? axis : qobject_cast<QBarCategoryAxis *>(a);
    ASSERT_TRUE(axis);
    EXPECT_EQ(axis->categories().value(0), QString("x").repeated(26) + QStringLiteral(u"👩‍💻…"));
}

QMK_ON_BOTH_ENGINES(ReportOnBothTest);

}  // namespace
