// The worksheet writer on any sequence of cells. Each cell is five bytes (row low, row high,
// flags, column, text length) and the text, so rows run from 0 to 65537 and columns from 0 to
// 256. The writer never crashes; a refused cell closes the file at once; and the file holds the
// beginning record, one well-formed text cell per accepted call in order, then the end record
// only when every cell was accepted.
#include "export/clsExcelFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

struct Cell {
    int r, c;
    QByteArray text;  // as the sheet holds it
};

void check(bool ok)
{
    if (!ok)
        std::abort();
}

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

    std::vector<Cell> written;
    bool refused = false;
    {
        clsExcelFile xl;
        xl.OpenFile(path);
        for (std::size_t i = 0; i + 5 <= size;) {
            const std::uint8_t *p = data + i;
            const int r = (p[0] | p[1] << 8) + (p[2] & 3) - 1;
            const int c = p[3] + ((p[2] >> 2) & 1);
            const std::size_t n = std::min<std::size_t>(p[4], size - i - 5);
            const QString t = QString::fromUtf8(reinterpret_cast<const char *>(p + 5), qsizetype(n));
            i += 5 + n;
            const Cell cell{r, c, clsExcelFile::ToWindows1252(t)};
            const bool fits = r >= 1 && r <= 65536 && c >= 1 && c <= 255 && cell.text.size() <= 247;
            try {
                xl.EWriteString(r, c, t);
            } catch (const clsExcelFile::Error &) {
                check(!fits);
                refused = true;
                break;
            }
            check(fits);
            written.push_back(cell);
        }
        if (!refused)
            xl.CloseFile();
        check(!xl.IsOpen() && lowestFreeDescriptor() == freeDescriptor);
    }

    QFile file(path);
    check(file.open(QIODevice::ReadOnly));
    const QByteArray b = file.readAll();
    const auto u16 = [&b](qsizetype at) { return int(std::uint8_t(b[at])) | int(std::uint8_t(b[at + 1])) << 8; };
    check(b.startsWith(QByteArray::fromHex("0900040002000A00")));
    qsizetype at = 8;
    for (const Cell &cell : written) {
        const qsizetype n = cell.text.size();
        check(b.size() >= at + 12 + n && u16(at) == 4 && u16(at + 2) == 8 + n && u16(at + 4) == cell.r - 1 &&
              u16(at + 6) == cell.c - 1 && b.mid(at + 8, 3) == QByteArray(3, '\0') && std::uint8_t(b[at + 11]) == n &&
              b.mid(at + 12, n) == cell.text);
        at += 12 + n;
    }
    check(b.mid(at) == (refused ? QByteArray() : QByteArray::fromHex("0A000000")));
    return 0;
}
