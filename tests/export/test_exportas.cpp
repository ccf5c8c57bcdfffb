// Export as .xlsx, CSV and .xls, read back by programs that are not ours: Python's openpyxl and csv
// (Debian's own Python), Gnumeric's ssconvert and LibreOffice. A missing reader fails the test.
#include "TestSupport.h"

#include "data/Budgets.h"
#include "export/LedgerExport.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QUrl>
#include <sys/stat.h>
#include <fstream>
#include <iostream>
#include <unistd.h>

static void PrintTo(const QJsonArray &a, std::ostream *os) { *os << QJsonDocument(a).toJson(QJsonDocument::Compact).left(300).toStdString(); }

namespace {

// Runs a reader; its output, or the failure with what it said.
QString RunReader(const QString &program, const QStringList &args, const QString &home = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!home.isEmpty())
        env.insert("HOME", home);
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool done = p.waitForFinished(180000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    EXPECT_TRUE(done) << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}
QJsonValue Python(const char *script, const QString &file, const QStringList &more = {})
{
    return QJsonDocument::fromJson(RunReader("/usr/bin/python3", QStringList{"-c", script, file} + more).toUtf8()).object().value("v");
}
// Every non-empty cell of the first sheet as [cell, type, value or formula, cached value, bold, number format].
// Texts are decoded as spreadsheets do ("_x000D_" is a carriage return), which openpyxl leaves to its caller.
const char *kOpenpyxl = R"(import json, re, sys, openpyxl
f = sys.argv[1]; wb = openpyxl.load_workbook(f); ws = wb.worksheets[0]; cached = openpyxl.load_workbook(f, data_only=True).worksheets[0]
iso = lambda v: v.isoformat() if hasattr(v, 'isoformat') else re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m[1], 16)), v) if isinstance(v, str) else v
cells = [[c.coordinate, c.data_type, iso(c.value), iso(cached[c.coordinate].value), c.font.b, c.number_format]
         for row in ws.iter_rows() for c in row if c.value is not None]
print(json.dumps({'v': [ws.title, ws.freeze_panes, wb.properties.creator, wb.properties.subject, cells]})))";
// With a second argument, texts are decoded as above (Gnumeric keeps a stored "_x000D_" as it is).
const char *kCsv = R"(import csv, json, re, sys
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))
if len(sys.argv) > 2: rows = [[re.sub('_x([0-9A-Fa-f]{4})_', lambda m: chr(int(m[1], 16)), v) for v in r] for r in rows]
print(json.dumps({'v': rows})))";

const QString kName = "Garage [west]: 2024/25 and a long tail";
// Remarks as typed: formula-looking, quoted, broken over lines, non-Latin, long, and one over a cell's limit.
QStringList Remarks()
{
    QStringList r{"=1+1", "+cmd|' /C calc'!A0", "-2", "@SUM(A1)", "\tlead", "\rlead", "a,b", "say \"hi\"", "_x0041_ _x005F_"};
    for (const QString &h : kHostile)
        r << h;
    return r << QString(40000, 'z');
}

}  // namespace

class ExportAsFileTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder() + "/settings");
        ui::SetSaveFileHandler([this](const ui::SaveFileRequest &r) {
            asked << QFileInfo(r.suggestedPath).absolutePath() + "|" + *r.selectedFilter;
            *r.selectedFilter = r.filter.split(";;").value(filter);
            return answer;
        });
    }
    void TearDown() override
    {
        ui::SetSaveFileHandler({});
        ProgramFolderTest::TearDown();
    }
    // ann's project 7 with an entry for each remark (amounts in, out and negative) and one of bob's.
    void Seed7()
    {
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'=HYPERLINK(\"x\")',0,'ann')",
                      "tblTransaction VALUES (900,'bob','2024-01-01',1,0,999,'bobs',7)"});
        Seed("INSERT INTO tblTasks VALUES (7,'ann',3,'" + kName + "','2024-03-01',NULL,0,500,' ')");
        for (int i = 0; i < Remarks().size(); ++i)
            Seed(QString("INSERT INTO tblTransaction VALUES (%1,'ann','%2',%3,%4,%5,'%6',7)").arg(i + 1)
                     .arg(QDate(2024, 3, 1).addDays(i % 5).toString(Qt::ISODate)).arg(1 + i % 2).arg(i % 2 ? 100.25 * i : 0)
                     .arg(i % 2 ? 0.0 : i == 2 ? -30.0 : 12.5).arg(QString(Remarks()[i]).replace("'", "''")));
    }
    // Exports through the window's button, the dialog answering `name` in `filter`.
    void Export(const QString &name, int filterIndex, ui::Answer open = ui::Answer::No)
    {
        answer = name.isEmpty() ? name : Folder() + "/" + name;
        filter = filterIndex;
        boxes.Expect(open);
        w->btnExportAs->click();
    }
    std::unique_ptr<frmMainMenu> w;
    QString answer;
    int filter = 0;
    QStringList asked;
};
class ExportAsTest : public OnBothEngines<ExportAsFileTest> {};

// The entries in the ledger's order, texts exactly as typed, numbers as numbers, dates as dates,
// totals as formulas with matching values, as openpyxl, Python's csv, Gnumeric and LibreOffice read them.
TEST_P(ExportAsTest, EveryReaderSeesTheLedgerExactly)
{
    Seed7();
    w = std::make_unique<frmMainMenu>();
    w->show();
    EXPECT_FALSE(w->btnExportAs->isEnabled());
    QTest::mouseClick(w->gdPreviewList->viewport(), Qt::LeftButton, {},
                      w->gdPreviewList->visualRect(w->gdPreviewList->model()->index(0, 1)).center());
    ASSERT_TRUE(w->btnExportAs->isEnabled());
    Export("book", 0, ui::Answer::Yes);
    // No program for the file: a box says where it is.
    const ui::OpenCheckedHandler previous = ui::SetOpenCheckedHandler([](const QString &) { return false; });
    boxes.Expect(ui::Answer::Yes);
    Export("table.csv", 0, ui::Answer::OK);
    ui::SetOpenCheckedHandler(previous);
    EXPECT_EQ(boxes.Last(), "No program could open the file. It was saved as:\n" +
                                QDir::toNativeSeparators(Folder() + "/table.csv") + "|4|" + AppTitle + "|0|1");
    Export("sheet", 2, ui::Answer::OK);  // the worksheet's texts hold 247 characters at most
    EXPECT_EQ(boxes.Shown().back().prompt,
              "The ledger could not be exported: the text in row 20, column 3 is longer than 247 characters");
    EXPECT_EQ(QDir(Folder()).entryList({"sheet*", ".sheet*"}, QDir::Files | QDir::Hidden), QStringList());
    Seed("DELETE FROM tblTransaction WHERE length(Remarks) > 247");
    Export("sheet", 2);
    EXPECT_EQ(opened, QStringList{Folder() + "/book.xlsx"});
    EXPECT_EQ(asked.mid(1, 2), (QStringList{Folder() + "|Excel workbook (*.xlsx)", Folder() + "|CSV (*.csv)"}));

    // The expected sheet, row by row: [type, value] of columns A to E.
    const QStringList remarks = Remarks();
    QJsonArray rows, csvRows;  // appended, not braced: a braced array would be copied, not nested, by some compilers
    csvRows.append(QJsonArray{"Action Name", "Description", "Amount In", "Amount Out", "Date"});
    double in = 0, out = 0;
    QStringList order;  // ledger order: by date, then Id
    for (int day = 0; day < 5; ++day)
        for (int i = day; i < remarks.size(); i += 5)
            order << QString::number(i);
    for (const QString &id : order) {
        const int i = id.toInt();
        const QString head = i % 2 ? "=HYPERLINK(\"x\")" : "Cement", date = QDate(2024, 3, 1).addDays(i % 5).toString(Qt::ISODate);
        const double a = i % 2 ? 100.25 * i : 0, b = i % 2 ? 0.0 : i == 2 ? -30.0 : 12.5;
        in += a, out += b;
        const QString cut = remarks[i].size() > 32767 ? remarks[i].left(32766) + QChar(0x2026) : remarks[i];
        rows.append(QJsonArray{"s", head, "s", cut, "n", a, "n", b, "d", date + "T00:00:00"});
        const QString guarded = QString("=+-@\t\r").contains(remarks[i].front()) ? "'" + remarks[i] : remarks[i];
        csvRows.append(QJsonArray{i % 2 ? "'" + head : head, guarded, QString::number(a), QString::number(b), date});
    }

    const QJsonArray book = Python(kOpenpyxl, Folder() + "/book.xlsx").toArray();
    EXPECT_EQ(QJsonArray({book[0], book[1], book[2], book[3]}), (QJsonArray{"Garage _west__ 2024_25 and a lo", "A3", "ann", kName}));
    QHash<QString, QJsonArray> cells;
    for (const QJsonValue &c : book[4].toArray())
        cells.insert(c[0].toString(), c.toArray());
    EXPECT_EQ(cells["B1"], (QJsonArray{"B1", "s", kName, kName, true, "General"}));
    EXPECT_EQ(cells["E2"][2].toString() + (cells["E2"][4].toBool() ? "|bold" : ""), "Date|bold");
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < 5; ++c) {
            const QJsonArray cell = cells.value(QChar('A' + c) + QString::number(r + 3));
            EXPECT_EQ(QJsonArray({cell[1], cell[2]}), QJsonArray({rows[r][2 * c], rows[r][2 * c + 1]})) << r << c;
        }
    const int t = int(rows.size()) + 4;
    EXPECT_EQ(cells[QString("C%1").arg(t)][5].toString() + cells["E3"][5].toString(), "0.00dd/mm/yyyy");
    const QString balance = QString("C%1").arg(t + 1);
    for (const auto &[cell, formula, value] : std::vector<std::tuple<QString, QString, QJsonValue>>{
             {QString("C%1").arg(t), QString("=SUM(C3:C%1)").arg(t - 2), in},
             {QString("D%1").arg(t), QString("=SUM(D3:D%1)").arg(t - 2), out},
             {balance, QString("=C%1-D%1").arg(t), in - out},
             {QString("B%1").arg(t + 1), QString("=IF(D%1>C%1,\"Debit of\",IF(D%1=C%1,\"Balanced\",\"Credit of\"))").arg(t),
              "Credit of"}})
        EXPECT_EQ(QJsonArray({cells[cell][1], cells[cell][2], cells[cell][3]}), (QJsonArray{"f", formula, value}));

    const QJsonArray table = Python(kCsv, Folder() + "/table.csv").toArray();
    EXPECT_EQ(table, csvRows);
    EXPECT_TRUE(BytesOf(Folder() + "/table.csv").startsWith("\xEF\xBB\xBF" "Action Name,Description,"));

    // Gnumeric and LibreOffice show what the cells hold, totals calculated and formatted as set.
    const QString shownTotals = QString("Total,%1,%2").arg(in, 0, 'f', 2).arg(out, 0, 'f', 2);
    const QString shownBalance = QString("Credit of,%1").arg(in - out, 0, 'f', 2);
    RunReader("ssconvert", {"--export-type=Gnumeric_stf:stf_assistant", "--export-options=separator=, format=preserve", Folder() + "/book.xlsx", Folder() + "/gnumeric.csv"}, Folder());
    RunReader("soffice", {"-env:UserInstallation=" + QUrl::fromLocalFile(Folder() + "/lo").toString(), "--headless", "--norestore",
                    "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", Folder() + "/lo",
                    Folder() + "/book.xlsx", Folder() + "/sheet.xls"}, Folder());
    for (const QString &shown : {Folder() + "/gnumeric.csv", Folder() + "/lo/book.csv"}) {
        const bool gnumeric = shown.contains("gnumeric");
        const QJsonArray read = Python(kCsv, shown, gnumeric ? QStringList{"decode"} : QStringList()).toArray();
        ASSERT_EQ(read.size(), rows.size() + 5) << shown.toStdString();
        for (int r = 0; r < rows.size(); ++r)
            // LibreOffice's own CSV writer turns a cell's CR LF into LF.
            EXPECT_EQ(read[r + 2][1].toString() + "|" + read[r + 2][4].toString(),
                      (gnumeric ? rows[r][3].toString() : rows[r][3].toString().replace("\r\n", "\n")) + "|" + QDate::fromString(rows[r][9].toString().left(10), Qt::ISODate).toString("dd/MM/yyyy")) << shown.toStdString();
        EXPECT_EQ(QStringList({read[t - 1][1].toString(), read[t - 1][2].toString(), read[t - 1][3].toString()}).join(','),
                  shownTotals) << shown.toStdString();
        EXPECT_EQ(read[t][1].toString() + "," + read[t][2].toString(), shownBalance) << shown.toStdString();
    }
    const QJsonArray xls = Python(kCsv, Folder() + "/lo/sheet.csv").toArray();
    EXPECT_EQ(xls[0][0].toString() + "|" + xls[3][2].toString(), kName + "|" + remarks[0]);
}

// The sheet names, then each row of the sheet "Budget": its cells as "value|cached value|number format".
const char *kBudgetSheet = R"(import json, sys, openpyxl
f = sys.argv[1]; wb = openpyxl.load_workbook(f); cached = openpyxl.load_workbook(f, data_only=True)
rows = [' '.join('%s|%s|%s' % (c.value, cached['Budget'][c.coordinate].value, c.number_format) for c in row if c.value is not None)
        for row in wb['Budget'].iter_rows()] if 'Budget' in wb.sheetnames else []
print(json.dumps({'v': [wb.sheetnames, rows]})))";

// A project planned by heads gets the sheet "Budget" in its workbook: a row a planned head (Client is
// not; Wages is planned at 0, its share left empty), what is left and the share used as formulas with
// their values, totals as sums, the forecasts as values (on plan: all spent, and what is left under
// Cement's plan). The ledger's sheet, named like it, gives way. CSV and .xls stay as they were.
TEST_P(ExportAsTest, APlannedProjectsWorkbookHasABudgetSheetAndOtherFormatsDoNot)
{
    Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann'),(3,'Wages',1,'ann')",
                  "tblTasks VALUES (7,'ann',3,'budget','2024-03-01',NULL,0,500,' ')",
                  "tblTransaction VALUES (1,'ann','2024-03-05',1,0,120.5,'',7),(2,'ann','2024-03-06',2,500,0,'',7),"
                  "(3,'ann','2024-03-07',3,0,40,'',7),(4,'ann','2024-03-08',1,0,-20,'',7)"});
    const auto write = [&](const QString &name, LedgerFormat format) {
        WriteLedgerFile(LoadLedgerTable(7), format, Folder() + "/" + name);
        return Folder() + "/" + name;
    };
    const QByteArray csv = BytesOf(write("before.csv", LedgerFormat::Csv)), xls = BytesOf(write("before.xls", LedgerFormat::Xls));
    EXPECT_EQ(Python(kBudgetSheet, write("plain.xlsx", LedgerFormat::Xlsx)), (QJsonArray{QJsonArray{"budget"}, QJsonArray{}}));
    SaveBudget(7, {{1, 200}, {3, 0}});
    EXPECT_EQ(BytesOf(write("after.csv", LedgerFormat::Csv)) + BytesOf(write("after.xls", LedgerFormat::Xls)), csv + xls);
    EXPECT_EQ(QDir(Folder()).entryList({"after*"}, QDir::Files), (QStringList{"after.csv", "after.xls"}));
    const QJsonArray book = Python(kBudgetSheet, write("book.xlsx", LedgerFormat::Xlsx)).toArray();
    EXPECT_EQ(book, (QJsonArray{QJsonArray{"Ledger", "Budget"}, QJsonArray{
        "Head|Head|General Planned|Planned|General Spent|Spent|General Left|Left|General % used|% used|General",
        "Cement|Cement|General 200|200|0.00 100.5|100.5|0.00 =B2-C2|99.5|0.00 =IF(B2=0,\"\",C2/B2)|0.5025|0.0%",
        "Wages|Wages|General 0|0|0.00 40|40|0.00 =B3-C3|-40|0.00 =IF(B3=0,\"\",C3/B3)|None|0.0%",
        "Total|Total|General =SUM(B2:B3)|200|0.00 =SUM(C2:C3)|140.5|0.00 =SUM(D2:D3)|59.5|0.00 =IF(B4=0,\"\",C4/B4)|0.7025|0.0%",
        "", "Forecast on plan|Forecast on plan|General 240|240|0.00",
        "Forecast at rate|Forecast at rate|General not known|not known|General"}}));
}

// The dialog starts where and in the format the user last exported; another user keeps their own.
TEST_F(ExportAsFileTest, TheLastFolderAndFormatAreRememberedPerUser)
{
    Scene("ann", {"tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' ')"});
    const QString sub = Folder() + "/sub";
    QDir().mkpath(sub);
    answer = sub + "/t";
    for (const auto &[user, chosen] : std::vector<std::pair<QString, int>>{{"ann", 1}, {"ann", 2}, {"bob", 0}}) {
        CurrentUserId = user;
        filter = chosen;
        boxes.Expect(ui::Answer::No);
        EXPECT_TRUE(ExportLedgerAs(7));
    }
    EXPECT_EQ(asked.value(1), sub + "|CSV (*.csv)");
    EXPECT_FALSE(asked.value(2).startsWith(sub));
    EXPECT_TRUE(QFile::exists(sub + "/t.csv") && QFile::exists(sub + "/t.xls") && QFile::exists(sub + "/t.xlsx"));
}
QMK_ON_BOTH_ENGINES(ExportAsTest);

// A failure at any point leaves the old file as it was, no partial file, and a box that says why.
// A folder the user cannot write is tried as an unprivileged user: root ignores folder permissions.
TEST(ExportAs, AFailedExportLeavesTheOldFileAndNothingElse)
{
    if (const QByteArray target = qgetenv("QMK_EXPORT_TARGET"); !target.isEmpty()) {  // the unprivileged run
        try {
            WriteLedgerFile({}, LedgerFormat(qgetenv("QMK_EXPORT_FORMAT").toInt()), QString::fromLocal8Bit(target));
            ADD_FAILURE() << "written";
        } catch (const LedgerExportError &e) {
            std::cout << e.Reason().toStdString() << std::endl;
        }
        return;
    }
    QTemporaryDir dir;
    const QString locked = dir.filePath("locked"), old = locked + "/ledger";
    ASSERT_TRUE(QDir().mkpath(old + ".dir") && QFile::copy(QCoreApplication::applicationFilePath(), dir.filePath("self")));
    ::chmod(QFile::encodeName(dir.path()), 0755), ::chmod(QFile::encodeName(locked), 0755);
    for (int format = 0; format < 3; ++format) {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
        f.close();
        ::chmod(QFile::encodeName(old), 0666);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QMK_EXPORT_TARGET", old), env.insert("QMK_EXPORT_FORMAT", QString::number(format));
        p.setProcessEnvironment(env);
        p.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--", dir.filePath("self"),
                            "--gtest_filter=ExportAs.AFailedExportLeavesTheOldFileAndNothingElse"});
        ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().contains(" cannot be written (Permission denied")) << format;
        LedgerTable t;  // a text too long for the .xls writer, halfway through its rows
        t.entries.assign(3, {{}, {LedgerValue::Kind::Text, 0, {}, QString(300, 'x')}, {}, {}, {}});
        for (const auto &[target, f] : std::vector<std::pair<QString, LedgerFormat>>{
                 {old + ".dir", LedgerFormat(format)}, {old, LedgerFormat::Xls}})
            EXPECT_THROW(WriteLedgerFile(t, f, target), LedgerExportError) << format;
        EXPECT_EQ(BytesOf(old), "old");
        EXPECT_EQ(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  (QStringList{"ledger", "ledger.dir"}));
    }
}

// Every format is the user's alone (0600), whatever the umask, and also the group's (0660) in a folder the
// group shares, reached directly or through a link; a set-group-id folder of the user's own group is not one.
TEST(ExportAs, FilesAreTheUsersAloneOrTheSharingGroups)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath("plain"), own = dir.filePath("own"), shared = dir.filePath("shared");
    ASSERT_TRUE(QDir().mkpath(plain) && QDir().mkpath(own) && QDir().mkpath(shared) && SharedFolder(shared));
    ASSERT_TRUE(::chmod(QFile::encodeName(own), 02770) == 0 && QFile::link(shared, dir.filePath("link")));
    const mode_t mask = ::umask(0);
    for (const auto &[folder, mode] : {std::pair{plain, 0600}, {own, 0600}, {shared, 0660}, {dir.filePath("link"), 0660}})
        for (int format = 0; format < 3; ++format) {
            const QString target = folder + "/ledger" + QString::number(format);
            std::ofstream(QFile::encodeName(target).constData()) << "old";  // made 0666 by the umask of 0
            WriteLedgerFile({}, LedgerFormat(format), target);
            struct stat st {};
            EXPECT_TRUE(::stat(QFile::encodeName(target), &st) == 0 && st.st_size > 3) << target.toStdString();
            EXPECT_EQ(st.st_mode & 07777, mode_t(mode)) << target.toStdString();
        }
    ::umask(mask);
}

TEST(ExportAs, SheetNamesAndCsvFieldsAreWhatSpreadsheetsAccept)
{
    const std::pair<QString, QString> names[] = {
        {"Garage", "Garage"}, {"a/b\\c?d*e:f[g]h", "a_b_c_d_e_f_g_h"}, {"", "Ledger"}, {"   ", "Ledger"}, {"'quoted'", "Ledger"},
        {"it's", "it's"}, {"history", "Ledger"}, {QString(40, 'n'), QString(31, 'n')},
        {QString(30, 'n') + "\U0001F600", QString(30, 'n')}, {"line\nbreak", "line_break"}};
    for (const auto &[name, sheet] : names)
        EXPECT_EQ(SheetNameFor(name), sheet);
    const std::pair<QString, QString> fields[] = {{"plain", "plain"}, {"=1+1", "'=1+1"}, {"-2", "'-2"}, {"+x", "'+x"},
        {"@x", "'@x"}, {"\tx", "\"'\tx\""}, {"x;=2*3;", "\"x;=2*3;\""}, {"=1;2", "\"'=1;2\""}, {"a\tb", "\"a\tb\""}, {"\rx", "\"'\rx\""}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"one\ntwo", "\"one\ntwo\""}, {"a=b", "a=b"}, {"", ""}};
    for (const auto &[text, field] : fields)
        EXPECT_EQ(CsvText(text), field);
}
