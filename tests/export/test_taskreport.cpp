// The ledger export: the sheet as written, read back record by record, the boxes around it, and
// the file as a common spreadsheet program reads it.
#include "TestSupport.h"

#include "export/TaskReport.h"
#include "ui/Grid.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Cell {
    int r, c;
    QString t;
    bool operator==(const Cell &o) const { return r == o.r && c == o.c && t == o.t; }
};
void PrintTo(const Cell &c, std::ostream *os) { *os << c.r << "/" << c.c << " " << c.t.toStdString(); }
using Sheet = std::vector<Cell>;

quint16 U16(const QByteArray &b, int at) { return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8); }

// The text cells of a written file in record order; checks the frame of BOF and EOF records.
Sheet ReadSheet(const QByteArray &b)
{
    Sheet cells;
    EXPECT_TRUE(b.startsWith(QByteArray::fromHex("0900040002000A00")));
    EXPECT_TRUE(b.endsWith(QByteArray::fromHex("0A000000")));
    int at = 8;
    while (at + 12 <= b.size() - 4 && U16(b, at) == 4) {
        const int len = uchar(b[at + 11]);
        EXPECT_EQ(U16(b, at + 2), len + 8);
        cells.push_back({U16(b, at + 4) + 1, U16(b, at + 6) + 1, QString::fromLatin1(b.mid(at + 12, len))});
        at += 4 + U16(b, at + 2);
    }
    EXPECT_EQ(at, b.size() - 4);
    return cells;
}

// The sheet of a ledger whose rows need no rewriting.
Sheet Expected(const QString &title, const std::vector<QStringList> &rows, const QStringList &totals)
{
    Sheet s{{1, 1, title}};
    const QStringList head{"Action Name", "Description", "Amount In", "Amount Out", "Date"};
    for (int i = 0; i < 5; ++i)
        s.push_back({2, i + 2, head[i]});
    const int R = int(rows.size()) + 1;
    for (int j = 1; j < R; ++j)
        for (int i = 0; i < 5; ++i)
            s.push_back({j + 3, i + 2, rows[size_t(j - 1)][i]});
    s.insert(s.end(), {{R + 4, 3, "Sub Total :"}, {R + 4, 4, totals[0]}, {R + 4, 5, totals[1]},
                       {R + 6, 3, "Final Total :"}, {R + 6, 5, totals[2]}});
    return s;
}

class ExportTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        ASSERT_TRUE(QDir(Folder()).mkdir(QStringLiteral("xsl")));
        m_prevClock = ui::SetClock([this] { return now; });
    }
    void TearDown() override
    {
        ui::SetClock(m_prevClock);
        ProgramFolderTest::TearDown();
    }

    // The ledger grid with its header row and the rows given (without the ID column).
    void Ledger(const std::vector<QStringList> &rows)
    {
        const QStringList head{"ID", "Action Name", "Description", "Amount In", "Amount Out", "Date"};
        grid.SetCols(6);
        grid.SetRows(int(rows.size()) + 1);
        for (int i = 0; i < 6; ++i)
            grid.SetTextMatrix(0, i, head[i]);
        for (int j = 1; j <= int(rows.size()); ++j) {
            grid.SetTextMatrix(j, 0, QString::number(j));
            for (int i = 1; i < 6; ++i)
                grid.SetTextMatrix(j, i, rows[size_t(j - 1)][i - 1]);
        }
    }
    void Export(const QString &task, const QStringList &totals)
    {
        ExportTaskReport(grid, task.isEmpty() ? QString() : QStringLiteral("7"), task, totals[0], totals[1], totals[2]);
    }
    QString Path() const { return Folder() + "/xsl/05-12-2026 - TASK details - (14-05-09).xls"; }
    QStringList Exports() const { return QDir(Folder() + "/xsl").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System); }
    void ExpectBox(int i, const QString &prompt, ui::Buttons buttons, ui::Icon icon)
    {
        ASSERT_GT(boxes.Count(), i);
        const ui::MessageBoxRequest &b = boxes.Shown()[size_t(i)];
        EXPECT_EQ(b.prompt, prompt);
        EXPECT_EQ(b.buttons, buttons);
        EXPECT_EQ(b.icon, icon);
        EXPECT_EQ(b.title, "Quillmark v1.0 DEMO");
    }

    QDateTime now{QDate(2026, 12, 5), QTime(14, 5, 9)};
    ui::Grid grid{QStringLiteral("gdTansactionsList")};
    const QString kQuestion = "Do you want to open it now in Microsoft Excel? ";

private:
    ui::ClockHandler m_prevClock;
};

const Sheet kGarage = {
    {1, 1, "Garage"},
    {2, 2, "Action Name"}, {2, 3, "Description"}, {2, 4, "Amount In"}, {2, 5, "Amount Out"}, {2, 6, "Date"},
    {4, 2, "Cement"}, {4, 3, "bags"}, {4, 4, "0"}, {4, 5, "120"}, {4, 6, "05/03/2024"},
    {5, 2, "Client"}, {5, 3, "advance"}, {5, 4, "500"}, {5, 5, "0"}, {5, 6, "06/03/2024"},
    {7, 3, "Sub Total :"}, {7, 4, "500"}, {7, 5, "120"},
    {9, 3, "Final Total :"}, {9, 5, "380"},
};
const std::vector<QStringList> kGarageRows = {{"Cement", "bags", "0", "120", "05/03/2024"},
                                              {"Client", "advance", "500", "0", "06/03/2024"}};

}  // namespace

TEST_F(ExportTest, GarageIsWrittenCellByCellAndNoSaysTheDataIsWritten)
{
    Ledger(kGarageRows);
    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::OK);
    Export("Garage", {"500", "120", "380.00"});
    EXPECT_EQ(ReadSheet(BytesOf(Path())), kGarage);
    ASSERT_EQ(boxes.Count(), 2);
    ExpectBox(0, kQuestion, ui::Buttons::YesNo, ui::Icon::Information);
    ExpectBox(1, "Data has been written in Excel file.", ui::Buttons::OKOnly, ui::Icon::Information);
    EXPECT_TRUE(opened.isEmpty());
}

// One row: sheet rows 1, 2, 4, 6 and 8; amounts in plain form, also from the user's number form.
TEST_F(ExportTest, OneRowLedgerInPlainNumbersAndYesOpensTheFile)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    Ledger({{"Fuel", "Diesel f\u00fcr 40 \u20bd", "0", "150,50", "01/02/2025"}});
    boxes.Expect(ui::Answer::Yes);
    Export("Car", {"0", "150.5", "-150.50"});
    QLocale::setDefault(previous);
    EXPECT_EQ(ReadSheet(BytesOf(Path())),
              Expected("Car", {{"Fuel", "Diesel f\u00fcr 40 ?", "0", "150.5", "01/02/2025"}},
                       {"0", "150.5", "-150.5"}));
    ASSERT_EQ(boxes.Count(), 1);
    ExpectBox(0, kQuestion, ui::Buttons::YesNo, ui::Icon::Information);
    EXPECT_EQ(opened, QStringList{Path()});
}

// Only a missing task stops the export: a balance of 0 with entries is exported, 300 rows whole.
TEST_F(ExportTest, ZeroBalanceLedgerOf300RowsIsExportedWhole)
{
    std::vector<QStringList> rows;
    for (int j = 1; j <= 300; ++j)
        rows.push_back({j % 2 ? "Sale" : "Stock", QString("entry %1").arg(j), j % 2 ? "10" : "0",
                        j % 2 ? "0" : "10", "07/03/2024"});
    Ledger(rows);
    Export(QString(), {"1500", "1500", "0.00"});
    EXPECT_TRUE(Exports().isEmpty());

    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::OK);
    Export("Shop", {"1500", "1500", "0.00"});
    const Sheet sheet = ReadSheet(BytesOf(Path()));
    EXPECT_EQ(sheet, Expected("Shop", rows, {"1500", "1500", "0"}));
    EXPECT_EQ(sheet.back(), (Cell{307, 5, "0"}));
}

// A failed export leaves no file of its own and says why; whatever was at the name stays as it was.
TEST_F(ExportTest, FailureRemovesThePartialFileAndSaysWhy)
{
    const QString xsl = Folder() + "/xsl", mine = Folder() + "/mine.txt", at = "\"" + Path() + "\" ";
    const QByteArray path = QFile::encodeName(Path()), target = QFile::encodeName(mine);
    struct Case {
        std::function<bool()> plant;
        QString reason;
    } cases[] = {
        {[&] { return QDir(xsl).removeRecursively(); }, "the folder \"" + xsl + "\" does not exist"},
        {[&] { return ::symlink(target, path) == 0; }, at + "is a symbolic link"},
        {[&] { return ::link(target, path) == 0; }, at + "has other names linked to it"},
        {[&] { return ::mkdir(path, 0700) == 0; }, at + "is not a regular file"},
        {[&] { return ::mkfifo(path, 0600) == 0; }, at + "cannot be written (" + QString::fromLocal8Bit(std::strerror(ENXIO)) + ")"},
        {[&] { return grid.SetTextMatrix(2, 4, QString()), true; }, "the amount \"\" in ledger row 2 is not a number"},
        {[&] { return grid.SetTextMatrix(1, 2, QString(248, 'r')), true; }, "the text in row 4, column 3 is longer than 247 characters"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reason.toStdString());
        QDir(Folder()).mkdir(QStringLiteral("xsl"));
        QFile f(mine);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("keep") == 4);
        f.close();
        Ledger(kGarageRows);
        ASSERT_TRUE(c.plant());
        const QStringList before = Exports();
        boxes.Forget();
        boxes.Expect(ui::Answer::OK);
        Export("Garage", {"500", "120", "380.00"});
        ASSERT_EQ(boxes.Count(), 1);
        ExpectBox(0, "The ledger could not be exported: " + c.reason, ui::Buttons::OKOnly, ui::Icon::Exclamation);
        EXPECT_EQ(Exports(), before);
        EXPECT_EQ(BytesOf(mine), "keep");
        if (::unlink(path) != 0)
            ::rmdir(path);
    }
    EXPECT_TRUE(opened.isEmpty());
}

// LibreOffice Calc reads every cell where the layout puts it, rows above 255 and accents included.
// The profile lives in the test folder, so no other LibreOffice run is disturbed.
TEST_F(ExportTest, LibreOfficeReadsEveryCellWhereTheLayoutPutsIt)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    std::vector<QStringList> rows;
    for (int j = 1; j <= 260; ++j)
        rows.push_back({"Caf\u00e9", QString("row %1").arg(j), QString::number(j), "0", "08/03/2024"});
    const std::vector<Sheet> sheets = {kGarage, Expected("Caf\u00e9 \u20ac", rows, {"33930", "0", "33930"})};
    for (int k = 0; k < 2; ++k) {
        boxes.Expect(ui::Answer::No);
        boxes.Expect(ui::Answer::OK);
        Ledger(k ? rows : kGarageRows);
        Export(k ? "Caf\u00e9 \u20ac" : "Garage", k ? QStringList{"33930", "0", "33930.00"} : QStringList{"500", "120", "380.00"});
        now = now.addSecs(1);
    }
    QStringList files = Exports();
    ASSERT_EQ(files.size(), 2);
    for (QString &f : files)
        f = Folder() + "/xsl/" + f;

    const QString out = Folder() + "/csv";
    QProcess lo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Folder());
    lo.setProcessEnvironment(env);
    lo.start(soffice, QStringList{"-env:UserInstallation=" + QUrl::fromLocalFile(Folder() + "/lo").toString(),
                                  "--headless", "--norestore", "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76",
                                  "--outdir", out} + files);
    ASSERT_TRUE(lo.waitForFinished(180000)) << "LibreOffice did not finish";
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(files[k].toStdString());
        QFile csv(out + "/" + QFileInfo(files[k]).completeBaseName() + ".csv");
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << lo.readAllStandardError().toStdString();
        // Every cell of the sheet as LibreOffice read it (tab separated), and as it should be.
        std::map<std::pair<int, int>, QString> read, want;
        for (const Cell &c : sheets[size_t(k)])
            want[{c.r, c.c}] = c.t;
        const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n');
        for (int r = 0; r < lines.size(); ++r)
            for (int c = 0; c < lines[r].split('\t').size(); ++c)
                if (!lines[r].split('\t')[c].isEmpty())
                    read[{r + 1, c + 1}] = lines[r].split('\t')[c];
        EXPECT_EQ(read, want);
    }
}
