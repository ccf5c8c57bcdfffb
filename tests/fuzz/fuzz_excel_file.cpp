// The worksheet writer on any sequence of cells. Each cell is five bytes (row low, row high,
// flags, column, text length) and the text, so rows run from 0 to 65537 and columns from 0 to
// 256. The writer never crashes; a refused cell closes the file at once; and the file holds the
// beginning record, one well-formed text cell per accepted call in order, then the end record
// only when every cell was accepted.
#include "export/clsExcelFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

// The descriptor the next open gets: a file left open by the writer would take it.
int lowestFreeDescriptor()
{
    const int fd = ::dup(0);
    ::close(fd);
    return fd;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("sheet.xls"));
    static const int freeDescriptor = lowestFreeDescriptor();

    QByteArray expected = QByteArray::fromHex("0900040002000A00");
    bool refused = false;
    {
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
                xl.EWriteString(r, c, t);
                if (!fits)
                    std::abort();
                // A text cell: record 4, its length, row and column from 0, three zero bytes, the text's
                // length and the text.
                const auto u16 = [](int v) { return QByteArray(1, char(v & 0xff)) + char(v >> 8 & 0xff); };
                expected += u16(4) + u16(8 + int(text.size())) + u16(r - 1) + u16(c - 1) + QByteArray(3, '\0') +
                            char(text.size()) + text;
            } catch (const clsExcelFile::Error &) {
                if (fits)
                    std::abort();
                refused = true;
            }
        }
        if (!refused) {
            xl.CloseFile();
            expected += QByteArray::fromHex("0A000000");
        }
        if (xl.IsOpen() || lowestFreeDescriptor() != freeDescriptor)
            std::abort();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.readAll() != expected)
        std::abort();
    return 0;
}
