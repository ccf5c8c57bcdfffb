// The worksheet writer, byte for byte.
#include "TestSupport.h"

#include "export/clsExcelFile.h"

#include <QFile>
#include <QTemporaryDir>

TEST(ExcelFile, WritesTheRecordsByteForByteOverAnOlderLongerFile)
{
    const auto hex = [](const char *h) { return QByteArray::fromHex(h); };  // blanks are skipped
    const QString x247(247, QLatin1Char('x')), a246 = QString(246, QLatin1Char('a')) + QString::fromUtf8("😀");
    const struct {
        const char *what;
        std::vector<std::tuple<int, int, QString>> cells;
        QByteArray records;  // what follows the BOF record
        bool fails;          // the last cell fails: no EOF record, the file is closed
    } table[] = {
        {"empty sheet", {}, {}, false},
        {"worked cells", {{1, 1, "abc"}, {2, 3, ""}},
         hex("04 00 0B 00 00 00 00 00 00 00 00 03 61 62 63  04 00 08 00 01 00 02 00 00 00 00 00"), false},
        {"247 characters", {{1, 1, x247}}, hex("04 00 FF 00 00 00 00 00 00 00 00 F7") + x247.toLatin1(), false},
        {"247 bytes, the emoji one ?", {{1, 1, a246}},
         hex("04 00 FF 00 00 00 00 00 00 00 00 F7") + QByteArray(246, 'a') + "?", false},
        {"row and column 255", {{255, 255, "a"}}, hex("04 00 09 00 FE 00 FE 00 00 00 00 01 61"), false},
        {"rows above 255", {{256, 1, ""}, {300, 2, ""}, {65536, 1, ""}},
         hex("04 00 08 00 FF 00 00 00 00 00 00 00  04 00 08 00 2B 01 01 00 00 00 00 00"
             "04 00 08 00 FF FF 00 00 00 00 00 00"), false},
        {"Windows-1252, ? for the rest", {{1, 1, QString::fromUtf8("é€Ж😀")}},
         hex("04 00 0C 00 00 00 00 00 00 00 00 04 E9 80 3F 3F"), false},
        {"row 0", {{1, 1, "a"}, {0, 1, "x"}}, hex("04 00 09 00 00 00 00 00 00 00 00 01 61"), true},
        {"column 0", {{1, 0, "x"}}, {}, true},
        {"column 256", {{1, 256, "x"}}, {}, true},
        {"row 65537", {{65537, 1, "x"}}, {}, true},
        {"248 characters", {{1, 1, x247 + "x"}}, {}, true},
    };
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("sheet.xls")));
    for (const auto &g : table) {
        SCOPED_TRACE(g.what);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(400, 'Z')) == 400);
        file.close();
        clsExcelFile xl;
        bool failed = false;
        try {
            EXPECT_TRUE(xl.OpenFile(file.fileName()));
            for (const auto &[r, c, t] : g.cells)
                xl.EWriteString(r, c, t);
            xl.CloseFile();
        } catch (const clsExcelFile::Error &) {
            failed = true;
        }
        EXPECT_EQ(failed, g.fails);
        EXPECT_FALSE(xl.IsOpen());
        EXPECT_EQ(BytesOf(file.fileName()).toHex(' '),
                  (hex("09 00 04 00 02 00 0A 00") + g.records + (g.fails ? QByteArray() : hex("0A 00 00 00"))).toHex(' '));
    }
}
