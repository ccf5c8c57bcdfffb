// The worksheet writer, byte for byte.
#include "TestSupport.h"

#include "export/clsExcelFile.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray Hex(const char *hex) { return QByteArray::fromHex(QByteArray(hex).replace(' ', "")); }

const QByteArray kBof = Hex("09 00 04 00 02 00 0A 00");
const QByteArray kEof = Hex("0A 00 00 00");

struct Cell {
    int r, c;
    QString t;
};

struct Golden {
    const char *what;
    std::vector<Cell> cells;
    QByteArray records;  // what follows the BOF record
    bool fails;          // the last cell fails: no EOF record, the file is closed
};

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

TEST(ExcelFile, WritesTheRecordsByteForByteOverAnOlderLongerFile)
{
    const QString x247(247, QLatin1Char('x')), a246 = QString(246, QLatin1Char('a')) + QString::fromUtf8("😀");
    const std::vector<Golden> table = {
        {"empty sheet", {}, {}, false},
        {"worked cells", {{1, 1, "abc"}, {2, 3, ""}},
         Hex("04 00 0B 00 00 00 00 00 00 00 00 03 61 62 63  04 00 08 00 01 00 02 00 00 00 00 00"), false},
        {"247 characters", {{1, 1, x247}}, Hex("04 00 FF 00 00 00 00 00 00 00 00 F7") + x247.toLatin1(), false},
        {"247 bytes, the emoji one ?", {{1, 1, a246}},
         Hex("04 00 FF 00 00 00 00 00 00 00 00 F7") + QByteArray(246, 'a') + "?", false},
        {"row and column 255", {{255, 255, "a"}}, Hex("04 00 09 00 FE 00 FE 00 00 00 00 01 61"), false},
        {"rows above 255", {{256, 1, ""}, {300, 2, ""}, {65536, 1, ""}},
         Hex("04 00 08 00 FF 00 00 00 00 00 00 00  04 00 08 00 2B 01 01 00 00 00 00 00"
             "04 00 08 00 FF FF 00 00 00 00 00 00"), false},
        {"Windows-1252, ? for the rest", {{1, 1, QString::fromUtf8("é€Ж😀")}},
         Hex("04 00 0C 00 00 00 00 00 00 00 00 04 E9 80 3F 3F"), false},
        {"row 0", {{1, 1, "a"}, {0, 1, "x"}}, Hex("04 00 09 00 00 00 00 00 00 00 00 01 61"), true},
        {"column 0", {{1, 0, "x"}}, {}, true},
        {"column 256", {{1, 256, "x"}}, {}, true},
        {"row 65537", {{65537, 1, "x"}}, {}, true},
        {"248 characters", {{1, 1, x247 + "x"}}, {}, true},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sheet.xls"));
    for (const Golden &g : table) {
        SCOPED_TRACE(g.what);
        WriteFile(path, QByteArray(400, 'Z'));
        clsExcelFile xl;
        bool failed = false;
        try {
            EXPECT_TRUE(xl.OpenFile(path));
            for (const Cell &c : g.cells)
                xl.EWriteString(c.r, c.c, c.t);
            xl.CloseFile();
        } catch (const clsExcelFile::Error &) {
            failed = true;
        }
        EXPECT_EQ(failed, g.fails);
        EXPECT_FALSE(xl.IsOpen());
        EXPECT_EQ(BytesOf(path).toHex(' '), (kBof + g.records + (g.fails ? QByteArray() : kEof)).toHex(' '));
    }
}
