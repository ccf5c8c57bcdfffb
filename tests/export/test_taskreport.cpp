// The worksheet writer byte for byte, and the ledger export: the sheet and the boxes around it.
#include "TestSupport.h"

#include "export/TaskReport.h"
#include "export/clsExcelFile.h"
#include "ui/Grid.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using Rows = std::vector<QStringList>;
using Box = std::tuple<QString, ui::Buttons, ui::Icon>;
const Rows kGarage{{"Cement", "bags", "0", "120", "05/03/2024"}, {"Client", "advance", "500", "0", "06/03/2024"}};
const Box kQuestion{"Do you want to open it now in Microsoft Excel? ", ui::Buttons::YesNo, ui::Icon::Information};

// A sheet's cells in file order as "row,column:text" (the writer is checked byte for byte below).
QStringList Cells(const QByteArray &f)
{
    QStringList cells;
    for (int i = 8; i + 12 <= f.size() && f[i] == 4; i += 12 + uchar(f[i + 11]))
        cells << QString("%1,%2:").arg(uchar(f[i + 4]) + 256 * uchar(f[i + 5]) + 1).arg(uchar(f[i + 6]) + 1) +
                     QString::fromLatin1(f.mid(i + 12, uchar(f[i + 11])));
    return f.endsWith(QByteArray::fromHex("0A000000")) ? cells : QStringList{"no end record"};
}

class ExportTest : public ProgramFolderTest {
protected:
    // Exports the grid of these rows at 14:05:09 on 5 December 2026; answers the boxes it showed.
    std::vector<Box> Export(const QString &task, const Rows &rows = kGarage)
    {
        const QStringList head = QString("ID|Action Name|Description|Amount In|Amount Out|Date").split('|');
        grid.SetCols(6);
        grid.SetRows(int(rows.size()) + 1);
        for (int j = 0; j <= int(rows.size()); ++j)
            for (int i = 0; i < 6; ++i)
                grid.SetTextMatrix(j, i, j ? (i ? rows[size_t(j - 1)][i - 1] : QString::number(j)) : head[i]);
        ui::SetClock([] { return QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)); });
        boxes.Forget();
        ExportTaskReport(grid, task.isEmpty() ? QString() : QStringLiteral("7"), task, "500", "120", "380.00");
        std::vector<Box> shown;
        for (const ui::MessageBoxRequest &b : boxes.Shown())
            shown.emplace_back(b.title == "Quillmark v1.0 DEMO" ? b.prompt : b.title + ": " + b.prompt, b.buttons,
                               b.icon);
        return shown;
    }
    QString Path() const { return Folder() + "/xsl/05-12-2026 - TASK details - (14-05-09).xls"; }
    QStringList Exports() const { return QDir(Folder() + "/xsl").entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    ui::Grid grid{QStringLiteral("gdTansactionsList")};
};

// No task, no file. No says the data is written; Yes opens the file, written again at the same name, or
// says where it is when no program opens it.
TEST_F(ExportTest, TheLedgerIsWrittenCellByCellAndOpenedOnYes)
{
    QDir(Folder()).mkdir(QStringLiteral("xsl"));
    EXPECT_TRUE(Export(QString()).empty() && Exports().isEmpty());
    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::OK);
    EXPECT_EQ(Export("Garage"), (std::vector<Box>{kQuestion, {"Data has been written in Excel file.",
                                                              ui::Buttons::OKOnly, ui::Icon::Information}}));
    EXPECT_EQ(Cells(BytesOf(Path())), QStringList({"1,1:Garage", "2,2:Action Name", "2,3:Description", "2,4:Amount In",
        "2,5:Amount Out", "2,6:Date", "4,2:Cement", "4,3:bags", "4,4:0", "4,5:120", "4,6:05/03/2024", "5,2:Client",
        "5,3:advance", "5,4:500", "5,5:0", "5,6:06/03/2024", "7,3:Sub Total :", "7,4:500", "7,5:120",
        "9,3:Final Total :", "9,5:380"}));
    EXPECT_TRUE(opened.isEmpty());
    boxes.Expect(ui::Answer::Yes);
    EXPECT_EQ(Export("Garage"), std::vector<Box>{kQuestion});
    EXPECT_EQ(opened, QStringList{Path()});
    // No program for the file: a box says where it is.
    const ui::OpenCheckedHandler previous = ui::SetOpenCheckedHandler([](const QString &) { return false; });
    boxes.Expect(ui::Answer::Yes);
    boxes.Expect(ui::Answer::OK);
    EXPECT_EQ(Export("Garage"), (std::vector<Box>{kQuestion, {"No program could open the file. It was saved as:\n" +
                                                                  QDir::toNativeSeparators(Path()),
                                                              ui::Buttons::OKOnly, ui::Icon::Information}}));
    ui::SetOpenCheckedHandler(previous);
}

// LibreOffice Calc reads every cell where the writer put it, rows above 255 and accents included. Its
// profile lives in the test folder, so no other LibreOffice run is disturbed.
TEST_F(ExportTest, LibreOfficeReadsEveryCell)
{
    const QString soffice = QStandardPaths::findExecutable("soffice");
    ASSERT_FALSE(soffice.isEmpty()) << "LibreOffice (soffice) is needed: the test command installs it";
    QDir(Folder()).mkdir(QStringLiteral("xsl"));
    boxes.Expect(ui::Answer::No);
    boxes.Expect(ui::Answer::OK);
    Export("Caf\u00e9", Rows(260, {"Caf\u00e9", "row", "1", "0", "08/03/2024"}));
    QProcess lo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", Folder());
    lo.setProcessEnvironment(env);
    lo.start(soffice, {"-env:UserInstallation=" + QUrl::fromLocalFile(Folder() + "/lo").toString(), "--headless",
                       "--norestore", "--convert-to", "csv:Text - txt - csv (StarCalc):9,34,76", "--outdir", Folder(),
                       Path()});
    ASSERT_TRUE(lo.waitForFinished(180000)) << "LibreOffice did not finish";
    QFile csv(Folder() + "/05-12-2026 - TASK details - (14-05-09).csv");
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << lo.readAllStandardError().toStdString();
    QStringList read;  // every cell as LibreOffice read it, as Cells lists the file's own
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n');
    for (int r = 0; r < lines.size(); ++r)
        for (int c = 0; c < lines[r].split('\t').size(); ++c)
            if (!lines[r].split('\t')[c].isEmpty())
                read << QString("%1,%2:%3").arg(r + 1).arg(c + 1).arg(lines[r].split('\t')[c]);
    EXPECT_EQ(read, Cells(BytesOf(Path())));
    EXPECT_EQ(read.size(), 1311);
}

// A failed export leaves no file of its own and says why; whatever was at the name stays as it was.
// A link or a pipe at the name is replaced by the finished file, never written through. The file is
// the user's alone, or also its group's in a folder the group shares.
TEST_F(ExportTest, FailureRemovesThePartialFileAndSaysWhy)
{
    const QString xsl = Folder() + "/xsl", mine = Folder() + "/mine.txt", at = "\"" + Path() + "\" ";
    const QByteArray path = QFile::encodeName(Path()), target = QFile::encodeName(mine);
    std::ofstream(target.constData()) << "keep";
    Rows rows;
    const std::tuple<std::function<bool()>, QString, mode_t> cases[] = {
        {[&] { return QDir(xsl).removeRecursively(); }, "the folder \"" + xsl + "\" does not exist", 0},
        {[&] { return ::symlink(target, path) == 0; }, "", 0600},
        {[&] { return ::link(target, path) == 0; }, "", 0600},
        {[&] { return ::mkfifo(path, 0666) == 0; }, "", 0600},
        {[&] { return SharedFolder(xsl); }, "", 0660},
        {[&] { return ::mkdir(path, 0700) == 0; }, at + "could not be written (Is a directory)", 0},
        {[&] { return rows[1][3] = "", true; }, "the amount \"\" in ledger row 2 is not a number", 0},
        {[&] { return rows[0][1] = QString(248, 'r'), true; }, "the text in row 4, column 3 is longer than 247 "
                                                               "characters", 0}};
    for (const auto &[plant, reason, mode] : cases) {
        QDir(Folder()).mkdir(QStringLiteral("xsl"));
        rows = kGarage;
        ASSERT_TRUE(plant());
        const QStringList before = Exports();
        boxes.Expect(reason.isEmpty() ? ui::Answer::No : ui::Answer::OK);
        if (reason.isEmpty()) {
            boxes.Expect(ui::Answer::OK);
            EXPECT_EQ(Export("Garage", rows).size(), 2u);
            EXPECT_EQ(Exports(), QStringList{QFileInfo(Path()).fileName()});
            struct stat st {};
            EXPECT_TRUE(::lstat(path, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1);
            EXPECT_EQ(st.st_mode & 07777, mode) << reason.toStdString();
        } else {
            EXPECT_EQ(Export("Garage", rows), (std::vector<Box>{{"The ledger could not be exported: " + reason,
                                                                  ui::Buttons::OKOnly, ui::Icon::Exclamation}}));
            EXPECT_EQ(Exports(), before);
        }
        EXPECT_EQ(BytesOf(mine), "keep");
        ::unlink(path) == 0 || ::rmdir(path);
    }
}

TEST(ExcelFile, WritesTheRecordsByteForByteOverAnOlderLongerFile)
{
    const auto hex = [](const char *h) { return QByteArray::fromHex(h); };  // blanks are skipped
    const QString x247(247, 'x'), a246 = QString(246, 'a') + QString::fromUtf8("😀");  // 247 bytes
    const QByteArray label247 = hex("04 00 FF 00 00 00 00 00 00 00 00 F7");
    // The cells; what follows the beginning record; whether the last cell fails (then no end record).
    const std::tuple<std::vector<std::tuple<int, int, QString>>, QByteArray, bool> table[] = {
        {{}, {}, false}, {{{1, 1, x247}}, label247 + x247.toLatin1(), false},
        {{{1, 1, a246}}, label247 + QByteArray(246, 'a') + "?", false},
        {{{1, 1, "abc"}, {2, 3, ""}}, hex("04000B000000000000000003616263" "040008000100020000000000"), false},
        {{{255, 255, "a"}}, hex("04 00 09 00 FE 00 FE 00 00 00 00 01 61"), false},
        {{{256, 1, ""}, {65536, 1, ""}}, hex("04000800FF0000000000000004000800FFFF000000000000"), false},
        {{{1, 1, QString::fromUtf8("é€Ж😀")}}, hex("04 00 0C 00 00 00 00 00 00 00 00 04 E9 80 3F 3F"), false},  // cp1252
        {{{1, 1, "a"}, {0, 1, "x"}}, hex("04 00 09 00 00 00 00 00 00 00 00 01 61"), true},
        {{{1, 0, "x"}}, {}, true}, {{{1, 256, "x"}}, {}, true}, {{{65537, 1, "x"}}, {}, true},
        {{{1, 1, x247 + "x"}}, {}, true}};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sheet.xls"));
    for (const auto &[cells, records, fails] : table) {
        std::ofstream(QFile::encodeName(path).constData()) << std::string(400, 'Z');
        clsExcelFile xl;
        bool failed = false;
        try {
            xl.OpenFile(path);
            for (const auto &[r, c, t] : cells)
                xl.EWriteString(r, c, t);
            xl.CloseFile();
        } catch (const clsExcelFile::Error &) {
            failed = true;
        }
        EXPECT_TRUE(failed == fails && !xl.IsOpen());
        EXPECT_EQ(BytesOf(path).toHex(' '),
                  (hex("09 00 04 00 02 00 0A 00") + records + (fails ? QByteArray() : hex("0A 00 00 00"))).toHex(' '));
    }
}
