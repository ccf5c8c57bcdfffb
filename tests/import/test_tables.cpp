// CSV files and workbooks read through the mapping the importer proposes: a row per file shape
// and the lines it must give; the proposal on shapes where it must choose, or leave the choice.
#include "import/Tabular.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <xlsxwriter.h>
#include "import/Readers.h"
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <zip.h>

using namespace import;

namespace {

QString Write(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// Each line as "line date amount remarks", with " !" when it carries an error.
QStringList ReadAll(const QString &path, Format format, const TabularMapping &mapping, const Progress &progress = {})
{
    QStringList lines;
    ReadTable(path, format, mapping, [&](StatementLine &&l) {
        lines << QStringLiteral("%1 %2 %3 %4%5").arg(l.line).arg(l.date.toString(Qt::ISODate)).arg(l.amount, 0, 'f', 2)
                     .arg(l.remarks, l.error.isEmpty() ? QString() : QStringLiteral(" !"));
    }, progress);
    return lines;
}

QByteArray Utf16Le(const QString &text)
{
    return QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), 2 * text.size());
}

QStringList Proposed(const QString &path, Format format = Format::Csv)
{
    return ReadAll(path, format, ProposeMapping(SampleTable(path, format)).mapping);
}

}  // namespace

TEST(Tables, CsvShapesGiveTheirLines)
{
    struct Case {
        const char *name;
        QByteArray bytes;
        QStringList lines;
    };
    const Case cases[] = {
        {"comma, CRLF", "Date,Description,Amount\r\n2024-02-01,Coffee,-2.50\r\n2024-02-02,Salary,\"1,000.00\"\r\n",
         {"2 2024-02-01 -2.50 Coffee", "3 2024-02-02 1000.00 Salary"}},
        {"BOM, quotes with delimiter, doubled quotes and a line break",
         "\xEF\xBB\xBF" "Datum;Betrag;Verwendungszweck\n01.02.2024;-1.234,50;\"Miete; \"\"A\"\"\nZeile 2\"\n02.02.2024;12,00;Kaffee\n",
         {"2 2024-02-01 -1234.50 Miete; \"A\"\nZeile 2", "4 2024-02-02 12.00 Kaffee"}},
        {"Windows-1252, preamble, empty lines, closing balance",
         "Konto;DE12\nZeitraum;01.01.2024 - 31.01.2024\n\nBuchungstag;Auftraggeber/Empf\xe4nger;Betrag\n"
         "05.01.2024;B\xe4" "ckerei;-3,20\n06.01.2024;\x80 Laden;-1,00\nSaldo;;-4,20\n",
         {"5 2024-01-05 -3.20 Bäckerei", "6 2024-01-06 -1.00 € Laden"}},
        {"Excel sep line, CR line ends, trailing delimiter, ragged row",
         "sep=;\rDate;Payee;Amount;\r01/15/2024;Shop;-5.00;\r01/16/2024;Shop 2;6.00\r",
         {"3 2024-01-15 -5.00 Shop", "4 2024-01-16 6.00 Shop 2"}},
        {"UTF-16LE with BOM, tabs", Utf16Le(QStringLiteral("Date\tPayee\tAmount\n2024-03-01\tCaf\u00e9\t-4.00\n")),
         {"2 2024-03-01 -4.00 Café"}},
        {"money in and out, rows that cannot be read",
         "Date,Payee,Paid in,Paid out\n2024-01-01,A,5.00,\n2024-01-02,B,,7.00\n2024-01-03,C,1.00,2.00\n"
         "2024-01-04,D,x,\n2024-13-05,E,1.00,\n,F,2.00,\nTotal,,8.00,9.00\n",
         {"2 2024-01-01 5.00 A", "3 2024-01-02 -7.00 B", "4 2024-01-03 -2.00 C !", "5 2024-01-04 0.00 D !",
          "6  1.00 E !", "7  2.00 F !"}},
        {"no header, account numbers left out of the remarks",
         "17-06-2022,NL00ASNB0000000001,Shop A,EUR,130.44,-5.50\n18-06-2022,NL00ASNB0000000001,Shop B,EUR,124.94,10.00\n",
         {"1 2022-06-17 -5.50 Shop A", "2 2022-06-18 10.00 Shop B"}},
        {"Af/Bij words", "\"Datum\",\"Naam\",\"Af Bij\",\"Bedrag\"\n\"20240201\",\"Shop\",\"Af\",\"1,25\"\n"
                         "\"20240202\",\"Refund\",\"Bij\",\"2,00\"\n",
         {"2 2024-02-01 -1.25 Shop", "3 2024-02-02 2.00 Refund"}},
    };
    QTemporaryDir dir;
    for (const Case &c : cases)
        EXPECT_EQ(Proposed(Write(dir, QStringLiteral("t.csv"), c.bytes)), c.lines) << c.name;
}

TEST(Tables, ProposalLeavesTheUserTheRealChoices)
{
    struct Case {
        const char *csv;
        QString roles;  // one letter a column: d date, a amount, i in, o out, c debit/credit, r remarks, b bank id, - ignore
        QStringList dateFormats;
        QList<QChar> marks;
        const char *missing;
    };
    const Case cases[] = {
        {"Date;Amount\n01/02/2024;1.000\n05/03/2024;2.000\n", "da", {"dd/MM/yyyy", "MM/dd/yyyy"},
         {QLatin1Char(','), QLatin1Char('.')}, ""},
        {"Valutadatum;Buchungstag;Betrag;Saldo\n02.01.2024;01.01.2024;-1;1.234,50\n03.01.2024;02.01.2024;2;1.236,50\n",
         "-da-", {"dd.MM.yyyy"}, {QLatin1Char(',')}, ""},
        {"Date,Type,Amount,Reference\n2024-01-01,CR,5.00,R1\n2024-01-02,DR,3.00,R2\n", "dcab", {"yyyy-MM-dd"},
         {QLatin1Char('.')}, ""},
        {"Date,Amount,Reference,Memo\n2024-01-01,1.00,R1,x\n2024-01-02,2.00,R1,y\n", "da-r", {"yyyy-MM-dd"},
         {QLatin1Char('.')}, ""},
        {"Foo,Bar\nx,y\n", "--", {}, {}, "the date column; the amount column (or money in and money out)"},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        const MappingProposal p = ProposeMapping(SampleTable(Write(dir, QStringLiteral("p.csv"), c.csv), Format::Csv));
        QString roles;
        for (ColumnRole role : p.mapping.roles) roles += QString("-daiocrb").at(int(role));
        EXPECT_EQ(roles, c.roles) << c.csv;
        EXPECT_EQ(p.dateFormats, c.dateFormats) << c.csv;
        EXPECT_EQ(p.decimalMarks, c.marks) << c.csv;
        EXPECT_EQ(p.missing, QString::fromUtf8(c.missing)) << c.csv;
    }
    const MappingProposal p = ProposeMapping(SampleTable(Write(dir, QStringLiteral("s.csv"), "Note\nDate;Amount\n2024-01-01;1\n"), Format::Csv));
    EXPECT_EQ(p.mapping.skipRows, 1);
    EXPECT_EQ(p.shape, QStringLiteral("2 columns: date | amount"));
}

TEST(Tables, MappingTextRoundTripsAndRefusesGarbage)
{
    TabularMapping m;
    m.encoding = QStringLiteral("Windows-1252");
    m.delimiter = QLatin1Char(';');
    m.sheet = QStringLiteral("Käse;a=b,c%");
    m.skipRows = 12;
    m.headerRow = false;
    m.roles = {ColumnRole::Date, ColumnRole::Ignore, ColumnRole::DebitCredit, ColumnRole::Amount, ColumnRole::Remarks,
               ColumnRole::BankId, ColumnRole::MoneyIn, ColumnRole::MoneyOut};
    m.dateFormat = QStringLiteral("dd.MM.yy");
    m.decimalMark = QLatin1Char(',');
    m.inWords = {QStringLiteral("Bij"), QStringLiteral("a,b;c")};
    m.outWords = {QStringLiteral("Af")};
    const auto back = TabularMapping::FromText(m.ToText());
    ASSERT_TRUE(back);
    EXPECT_FALSE(m.ToText().contains(QLatin1Char('\n')));
    EXPECT_EQ(back->ToText(), m.ToText());
    EXPECT_EQ(back->sheet, m.sheet);
    EXPECT_EQ(back->inWords, m.inWords);
    EXPECT_EQ(back->roles, m.roles);

    const QString good = m.ToText();
    for (const QString &bad : {QString(), QStringLiteral("garbage"), QString(good).replace("qmtab1", "qmtab9"),
                               QString(good).replace("skip=12", "skip=-1"), QString(good).replace("mark=%2C", "mark=x"),
                               QString(good).replace("roles=date", "roles=dates"), good + QStringLiteral(";skip=1"),
                               QString(good).replace(";header=0", QString()), QString(good).replace("date=dd.MM.yy", "date=%3Cb%3E")})
        EXPECT_FALSE(TabularMapping::FromText(bad)) << bad.toStdString();
}

TEST(Tables, LargeFileReportsProgressAndCancels)
{
    QTemporaryDir dir;
    QByteArray bytes = "Date,Payee,Amount\n";
    for (int i = 0; i < 40000; ++i) bytes += "2024-01-01,\"Shop with a long name\nand a second line\",-1.25\n";
    const QString path = Write(dir, QStringLiteral("big.csv"), bytes);
    const TabularMapping mapping = ProposeMapping(SampleTable(path, Format::Csv)).mapping;
    qint64 last = 0, calls = 0, lines = 0, lastLine = 0;
    ReadTable(path, Format::Csv, mapping, [&](StatementLine &&l) { ++lines, lastLine = l.line; },
              [&](qint64 done, qint64 total) { ++calls, last = done; return total == bytes.size(); });
    EXPECT_EQ(lines, 40000);
    EXPECT_EQ(lastLine, 2 + 2 * 39999);
    EXPECT_EQ(last, bytes.size());
    EXPECT_GT(calls, 10);
    lines = 0;
    EXPECT_THROW(ReadTable(path, Format::Csv, mapping, [&](StatementLine &&) { ++lines; },
                           [&](qint64 done, qint64) { return done < 200000; }),
                 Cancelled);
    EXPECT_LT(lines, 40000);
    // A quote that never closes is a damaged file, named by its line.
    const QString open = Write(dir, QStringLiteral("open.csv"), "Date,Amount\n2024-01-01,1\n2024-01-02,\"2\n");
    try {
        ReadAll(open, Format::Csv, mapping);
        ADD_FAILURE() << "no error";
    } catch (const ReadError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Line 3:"))) << e.what();
    }
}

// A workbook with a sheet of notes before the bookings: dates, a rich text, a time, tiny numbers.
bool WriteBookings(const QString &path)
{
    lxw_workbook *book = workbook_new(path.toUtf8().constData());
    lxw_worksheet *notes = workbook_add_worksheet(book, "Notes");
    worksheet_write_string(notes, 0, 0, "nothing", nullptr);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Bookings");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "dd/mm/yyyy");
    lxw_format *time = workbook_add_format(book);
    format_set_num_format(time, "[h]:mm");
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    worksheet_write_string(sheet, 0, 0, "Account 1234", nullptr);
    const char *header[] = {"Date", "Payee", "Amount", "Time"};
    for (int c = 0; c < 4; ++c) worksheet_write_string(sheet, 2, c, header[c], nullptr);
    lxw_datetime day = {2024, 2, 29, 0, 0, 0};
    worksheet_write_datetime(sheet, 3, 0, &day, date);
    char big[] = "Big ", shop[] = "Shop";
    lxw_rich_string_tuple bolded = {bold, big}, plain = {nullptr, shop};
    lxw_rich_string_tuple *runs[] = {&bolded, &plain, nullptr};
    worksheet_write_rich_string(sheet, 3, 1, runs, nullptr);
    worksheet_write_number(sheet, 3, 2, -1234.5, nullptr);
    worksheet_write_number(sheet, 3, 3, 0.5, time);
    worksheet_write_number(sheet, 4, 0, 1, date);  // 1900-01-01, before the phantom leap day
    worksheet_write_string(sheet, 4, 1, "Tiny", nullptr);
    worksheet_write_number(sheet, 4, 2, 0.0000001, nullptr);
    return workbook_close(book) == LXW_NO_ERROR;
}

TEST(Tables, XlsxCellsDatesAndNumbers)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    ASSERT_TRUE(WriteBookings(path));

    const TabularSample sample = SampleTable(path, Format::Xlsx, 50, {}, {}, QStringLiteral("Bookings"));
    EXPECT_EQ(sample.sheets, (QStringList{"Notes", "Bookings"}));
    ASSERT_EQ(sample.rows.size(), 4u);
    EXPECT_EQ(sample.rows[2], (QStringList{"2024-02-29", "Big Shop", "-1234.5", "0.5"}));
    EXPECT_EQ(sample.rows[3], (QStringList{"1900-01-01", "Tiny", "0.0000001"}));
    const MappingProposal p = ProposeMapping(sample);
    EXPECT_EQ(p.mapping.skipRows, 1);
    EXPECT_EQ(ReadAll(path, Format::Xlsx, p.mapping), (QStringList{"4 2024-02-29 -1234.50 Big Shop", "5 1900-01-01 0.00 Tiny"}));
}

TEST(Tables, XlsxInlineStrings1904AndDamage)
{
    QTemporaryDir dir;
    auto build = [&](const QString &name, const QByteArray &sheet) {
        const QString path = dir.filePath(name);
        zip_t *zip = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
        const QList<std::pair<const char *, QByteArray>> parts = {
            {"xl/workbook.xml", "<workbook xmlns:r=\"r\"><workbookPr date1904=\"1\"/><sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {"xl/styles.xml", "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"},
            {"xl/worksheets/sheet1.xml", sheet}};
        for (const auto &[part, data] : parts) {
            zip_source_t *source = zip_source_buffer(zip, data.constData(), zip_uint64_t(data.size()), 0);
            zip_file_add(zip, part, source, ZIP_FL_OVERWRITE);
        }
        EXPECT_EQ(zip_close(zip), 0);
        return path;
    };
    const QString good = build(QStringLiteral("good.xlsx"),
        "<worksheet><sheetData>\n<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>Date</t></is></c><c r=\"C2\" t=\"inlineStr\"><is><t>Amount</t></is></c></row>\n"
        "<row r=\"3\"><c r=\"A3\" s=\"1\"><v>0</v></c><c r=\"C3\"><v>7</v></c></row>\n"
        "<row r=\"4\"><c r=\"A4\" s=\"1\"><v>366.75</v></c><c r=\"C4\" t=\"str\"><f>X</f><v>-2</v></c></row>\n</sheetData></worksheet>");
    const TabularSample sample = SampleTable(good, Format::Xlsx);
    ASSERT_EQ(sample.rows.size(), 3u);
    EXPECT_EQ(sample.rows[0], (QStringList{"Date", "", "Amount"}));
    EXPECT_EQ(ReadAll(good, Format::Xlsx, ProposeMapping(sample).mapping),
              (QStringList{"3 1904-01-01 7.00 ", "4 1905-01-01 -2.00 "}));

    const QString damaged = build(QStringLiteral("bad.xlsx"), "<worksheet><sheetData>\n<row r=\"1\"><c><v>1</v></c></row>\n<row></c></sheetData></worksheet>");
    try {
        SampleTable(damaged, Format::Xlsx);
        ADD_FAILURE() << "no error";
    } catch (const ReadError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("xl/worksheets/sheet1.xml, line 3: "))) << e.what();
    }
}

// The same workbook saved by LibreOffice as Excel 97-2003 reads as the .xlsx does.
TEST(Tables, XlsReadsAsTheWorkbookItWasSavedFrom)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) writes the .xls; the test command installs it";
    QTemporaryDir dir;
    ASSERT_TRUE(WriteBookings(dir.filePath(QStringLiteral("book.xlsx"))));
    QProcess convert;
    convert.start(soffice, {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(dir.filePath("lo")).toString(),
                            QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                            QStringLiteral("xls"), QStringLiteral("--outdir"), dir.path(), dir.filePath(QStringLiteral("book.xlsx"))});
    ASSERT_TRUE(convert.waitForFinished(120000));
    const QString xls = dir.filePath(QStringLiteral("book.xls"));
    ASSERT_TRUE(QFile::exists(xls)) << convert.readAllStandardError().toStdString();
    EXPECT_EQ(DetectFormat(xls), Format::Xls);
    const TabularSample sample = SampleTable(xls, Format::Xls, 50, {}, {}, QStringLiteral("Bookings"));
    EXPECT_EQ(sample.sheets, (QStringList{"Notes", "Bookings"}));
    ASSERT_EQ(sample.rows.size(), 4u);
    EXPECT_EQ(sample.rows[2].mid(0, 3), (QStringList{"2024-02-29", "Big Shop", "-1234.5"}));
    EXPECT_EQ(ReadAll(xls, Format::Xls, ProposeMapping(sample).mapping),
              (QStringList{"4 2024-02-29 -1234.50 Big Shop", "5 1900-01-01 0.00 Tiny"}));
}
