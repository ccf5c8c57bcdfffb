// The worksheet writer on any cells, each five bytes (row low, row high, flags, column, length) and
// the text: it never crashes or leaves a file open, refuses exactly the cells that do not fit, and
// writes the beginning record, each accepted cell in order, and the end record if none was refused.
#include "export/clsExcelFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto lowestFreeDescriptor = [] { const int fd = ::dup(0); ::close(fd); return fd; };
    const auto u16 = [](int v) { return QByteArray(1, char(v & 0xff)) + char(v >> 8 & 0xff); };
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("sheet.xls"));
    static const int freeDescriptor = lowestFreeDescriptor();
    QByteArray expected = QByteArray::fromHex("0900040002000A00");
    bool refused = false;
    clsExcelFile xl;
    xl.OpenFile(path);
    for (std::size_t i = 0; i + 5 <= size && !refused;) {
        const std::uint8_t *p = data + i;
        const int r = (p[0] | p[1] << 8) + (p[2] & 3) - 1, c = p[3] + ((p[2] >> 2) & 1);
        const std::size_t n = std::min<std::size_t>(p[4], size - i - 5);
        const QString t = QString::fromUtf8(reinterpret_cast<const char *>(p + 5), qsizetype(n));
        i += 5 + n;
        const QByteArray text = clsExcelFile::ToWindows1252(t);
        const bool fits = r >= 1 && r <= 65536 && c >= 1 && c <= 255 && text.size() <= 247;
        try {
            xl.EWriteString(r, c, t);  // record 4, its length, row, column, 3 zero bytes, text length, text
            expected += u16(4) + u16(8 + int(text.size())) + u16(r - 1) + u16(c - 1) + QByteArray(3, '\0') +
                        char(text.size()) + text;
        } catch (const clsExcelFile::Error &) {
            refused = true;
        }
        if (fits == refused)
            std::abort();
    }
    if (!refused)
        xl.CloseFile(), expected += QByteArray::fromHex("0A000000");
    QFile file(path);
    if (xl.IsOpen() || lowestFreeDescriptor() != freeDescriptor || !file.open(QIODevice::ReadOnly) ||
        file.readAll() != expected)
        std::abort();
    return 0;
}
