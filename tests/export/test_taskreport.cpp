// The ledger export: the sheet as written, the boxes around it, and the file as a common
// spreadsheet program reads it.
#include "TestSupport.h"

#include "export/TaskReport.h"
#include "export/clsExcelFile.h"
#include "ui/Grid.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Rows = std::vector<QStringList>;
using Sheet = std::map<std::pair<int, int>, QString>;  // text by row and column, 1-based
using Box = std::tuple<QString, ui::Buttons, ui::Icon>;
const QStringList kHead{"Action Name", "Description", "Amount In", "Amount Out", "Date"};
const Rows kGarage{{"Cement", "bags", "0", "120", "05/03/2024"}, {"Client", "advance", "500", "0", "06/03/2024"}};
const QString kQuestion = "Do you want to open it now in Microsoft Excel? ";

// Where the layout puts the title, the head, the ledger rows (one line lower) and the totals.
Sheet Layout(const QString &title, const Rows &rows, const QStringList &totals)
{
    const int n = int(rows.size());
    Sheet s{{{1, 1}, title}, {{n + 5, 3}, "Sub Total :"}, {{n + 5, 4}, totals[0]}, {{n + 5, 5}, totals[1]},
            {{n + 7, 3}, "Final Total :"}, {{n + 7, 5}, totals[2]}};
    for (int j = -1; j < n; ++j)
        for (int i = 0; i < 5; ++i)
            s[{j < 0 ? 2 : j + 4, i + 2}] = j < 0 ? kHead[i] : rows[size_t(j)][i];
    return s;
}

// The file the writer (checked byte for byte on its own) makes of a sheet, cell by cell in row order.
QByteArray Bytes(const Sheet &sheet, const QString &path)
{
    clsExcelFile xl;
    QFile::remove(path);
    xl.OpenFile(path);
    for (const auto &[at, text] : sheet)
        xl.EWriteString(at.first, at.second, text);
    xl.CloseFile();
    return BytesOf(path);
}

class ExportTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        ASSERT_TRUE(QDir(Folder()).mkdir(QStringLiteral("xsl")));
        ui::SetClock([] { return QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)); });
    }
    // Exports the ledger grid of these rows, each after its ID, with these totals.
    void Export(const QString &task, const Rows &rows, const QStringList &totals)
    {
        grid.SetCols(6);
        grid.SetRows(int(rows.size()) + 1);
        for (int j = 0; j <= int(rows.size()); ++j)
            for (int i = 0; i < 6; ++i)
                grid.SetTextMatrix(j, i, i ? (j ? rows[size_t(j - 1)] : kHead)[i - 1] : j ? QString::number(j) : "ID");
        ExportTaskReport(grid, task.isEmpty() ? QString() : QStringLiteral("7"), task, totals[0], totals[1], totals[2]);
    }
    QString Path() const { return Folder() + "/xsl/05-12-2026 - TASK details - (14-05-09).xls"; }
    QStringList Exports() const { return QDir(Folder() + "/xsl").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System); }
    // The boxes shown so far: text, buttons and icon; each has the program's title.
    void ExpectBoxes(const std::vector<Box> &want)
    {
        std::vector<Box> shown;
        for (const ui::MessageBoxRequest &b : boxes.Shown())
            shown.emplace_back(b.title == "Quillmark v1.0 DEMO" ? b.prompt : b.title + ": " + b.prompt, b.buttons, b.icon);
        EXPECT_EQ(shown, want);
    }

    ui::Grid grid{QStringLiteral("gdTansactionsList")};
};

}  // namespace

// No task, no file. No says the data is written; Yes opens the file, written again shorter at the
// same name; amounts in the user's number form are written plain; a balance of 0 counts.
TEST_F(ExportTest, TheLedgerIsWrittenCellByCellAndOpenedOnYes)
{
    Export(QString(), kGarage, {"500", "120", "380.00"});
    EXPECT_TRUE(Exports().isEmpty());
    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::OK);
    Export("Garage", kGarage, {"500", "120", "380.00"});
    EXPECT_EQ(BytesOf(Path()), Bytes(Layout("Garage", kGarage, {"500", "120", "380"}), Folder() + "/want"));
    ExpectBoxes({{kQuestion, ui::Buttons::YesNo, ui::Icon::Information},
                 {"Data has been written in Excel file.", ui::Buttons::OKOnly, ui::Icon::Information}});
    EXPECT_TRUE(opened.isEmpty());

    boxes.Forget();
    boxes.Expect(ui::Answer::Yes);
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    Export("Car", {{"Fuel", "Diesel f\u00fcr 40 \u20bd", "150,50", "150.5", "01/02/2025"}}, {"150,50", "150.5", "0,00"});
    QLocale::setDefault(previous);
    EXPECT_EQ(BytesOf(Path()), Bytes(Layout("Car", {{"Fuel", "Diesel f\u00fcr 40 ?", "150.5", "150.5", "01/02/2025"}},
                                            {"150.5", "150.5", "0"}), Folder() + "/want"));
    ExpectBoxes({{kQuestion, ui::Buttons::YesNo, ui::Icon::Information}});
    EXPECT_EQ(opened, QStringList{Path()});
}

// A failed export leaves no file of its own and says why; whatever was at the name stays as it was.
TEST_F(ExportTest, FailureRemovesThePartialFileAndSaysWhy)
{
    const QString xsl = Folder() + "/xsl", mine = Folder() + "/mine.txt", at = "\"" + Path() + "\" ";
    const QByteArray path = QFile::encodeName(Path()), target = QFile::encodeName(mine);
    QFile keep(mine);
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly) && keep.write("keep") == 4);
    keep.close();
    Rows rows;
    const std::pair<std::function<bool()>, QString> cases[] = {
        {[&] { return QDir(xsl).removeRecursively(); }, "the folder \"" + xsl + "\" does not exist"},
        {[&] { return ::symlink(target, path) == 0; }, at + "is a symbolic link"},
        {[&] { return ::link(target, path) == 0; }, at + "has other names linked to it"},
        {[&] { return ::mkdir(path, 0700) == 0; }, at + "is not a regular file"},
        {[&] { return ::mkfifo(path, 0600) == 0; }, at + "cannot be written (" + QString::fromLocal8Bit(std::strerror(ENXIO)) + ")"},
        {[&] { return rows[1][3] = "", true; }, "the amount \"\" in ledger row 2 is not a number"},
        {[&] { return rows[0][1] = QString(248, 'r'), true; }, "the text in row 4, column 3 is longer than 247 characters"}};
    for (const auto &[plant, reason] : cases) {
        SCOPED_TRACE(reason.toStdString());
        QDir(Folder()).mkdir(QStringLiteral("xsl"));
        rows = kGarage;
        ASSERT_TRUE(plant());
        const QStringList before = Exports();
        boxes.Forget();
        boxes.Expect(ui::Answer::OK);
        Export("Garage", rows, {"500", "120", "380.00"});
        ExpectBoxes({{"The ledger could not be exported: " + reason, ui::Buttons::OKOnly, ui::Icon::Exclamation}});
        EXPECT_EQ(Exports(), before);
        EXPECT_EQ(BytesOf(mine), "keep");
        if (::unlink(path) != 0)
            ::rmdir(path);
    }
}

// LibreOffice Calc reads every cell where the layout puts it, rows above 255 and accents included.
// The profile lives in the test folder, so no other LibreOffice run is disturbed.
TEST_F(ExportTest, LibreOfficeReadsEveryCellWhereTheLayoutPutsIt)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    Rows rows;
    for (int j = 1; j <= 260; ++j)
        rows.push_back({"Caf\u00e9", QString("row %1").arg(j), QString::number(j), "0", "08/03/2024"});
    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::OK);
    Export("Caf\u00e9 \u20ac", rows, {"33930", "0", "33930.00"});
    QProcess lo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Folder());
    lo.setProcessEnvironment(env);
    lo.start(soffice, {"-env:UserInstallation=" + QUrl::fromLocalFile(Folder() + "/lo").toString(), "--headless",
                       "--norestore", "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76", "--outdir", Folder(), Path()});
    ASSERT_TRUE(lo.waitForFinished(180000)) << "LibreOffice did not finish";
    QFile csv(QString(Path()).replace("/xsl/", "/").replace(".xls", ".csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << lo.readAllStandardError().toStdString();
    Sheet read;  // every cell as LibreOffice read it (tab separated)
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n');
    for (int r = 0; r < lines.size(); ++r)
        for (int c = 0; c < lines[r].split('\t').size(); ++c)
            if (!lines[r].split('\t')[c].isEmpty())
                read[{r + 1, c + 1}] = lines[r].split('\t')[c];
    EXPECT_EQ(read, Layout("Caf\u00e9 \u20ac", rows, {"33930", "0", "33930"}));
}
