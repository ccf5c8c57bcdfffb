#include "export/clsExcelFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringView>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray bytes(std::initializer_list<unsigned char> list)
{
    QByteArray out;
    for (unsigned char b : list)
        out.append(char(b));
    return out;
}

QString shown(const QString &path) { return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"'); }

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The code points of Windows-1252 at 0x80..0x9F; 0 where the code page has no character.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

char windows1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return char(cp);
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] != 0 && kHighControls[i] == cp)
            return char(0x80 + i);
    return '?';
}

}  // namespace

clsExcelFile::clsExcelFile()
    : m_bof(bytes({0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x0A, 0x00})),
      m_label(bytes({0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})),
      m_eof(bytes({0x0A, 0x00, 0x00, 0x00}))
{
}

clsExcelFile::~clsExcelFile() { closeQuietly(); }

QByteArray clsExcelFile::ToWindows1252(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    // A lone surrogate is read as one replacement character and so becomes one "?".
    for (char32_t cp : QStringView(text).toUcs4())
        out.append(windows1252(cp));
    return out;
}

bool clsExcelFile::OpenFile(QString FileName)
{
    closeQuietly();
    m_fileName.clear();
    const QByteArray native = QFile::encodeName(FileName);
    // No O_TRUNC: nothing is emptied before the checks below have passed. O_NONBLOCK keeps a
    // named pipe planted under the name from stalling the open.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            throw Error(QStringLiteral("the folder %1 does not exist").arg(shown(QFileInfo(FileName).absolutePath())));
        if (error == ELOOP)
            throw Error(QStringLiteral("%1 is a symbolic link").arg(shown(FileName)));
        if (error == EISDIR)
            throw Error(QStringLiteral("%1 is not a regular file").arg(shown(FileName)));
        throw Error(QStringLiteral("%1 cannot be written (%2)").arg(shown(FileName), systemError(error)));
    }
    m_fd = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        fail(QStringLiteral("%1 cannot be examined (%2)").arg(shown(FileName), systemError(errno)));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("%1 is not a regular file").arg(shown(FileName)));
    if (st.st_uid != ::geteuid())
        fail(QStringLiteral("%1 belongs to another user").arg(shown(FileName)));
    if (st.st_nlink > 1)
        fail(QStringLiteral("%1 has other names linked to it").arg(shown(FileName)));
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0)
        fail(QStringLiteral("%1 cannot be emptied (%2)").arg(shown(FileName), systemError(errno)));
    m_fileName = FileName;
    writeAll(m_bof);
    return true;
}

void clsExcelFile::EWriteString(int r, int c, const QString &t)
{
    if (m_fd < 0)
        throw Error(QStringLiteral("no file is open for writing"));
    const QByteArray text = ToWindows1252(t);
    if (text.size() > kMaxTextBytes)
        fail(QStringLiteral("the text in row %1, column %2 is longer than %3 characters").arg(r).arg(c).arg(kMaxTextBytes));
    if (r < 1 || r > kMaxRow)
        fail(QStringLiteral("row %1 is outside the sheet (1 to %2)").arg(r).arg(kMaxRow));
    if (c < 1 || c > kMaxColumn)
        fail(QStringLiteral("column %1 is outside the sheet (1 to %2)").arg(c).arg(kMaxColumn));

    const unsigned row = unsigned(r - 1);
    m_label[2] = char(text.size() + 8);
    m_label[4] = char(row & 0xFF);
    m_label[5] = char(row >> 8);
    m_label[6] = char(c - 1);
    m_label[11] = char(text.size());
    writeAll(m_label + text);
}

void clsExcelFile::CloseFile()
{
    if (m_fd < 0)
        throw Error(QStringLiteral("no file is open for writing"));
    writeAll(m_eof);
    // The file is on the disk before the user is told it has been written: a power cut after
    // the message leaves a whole file, and its name in the folder.
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        fail(QStringLiteral("%1 could not be written to the disk (%2)").arg(shown(m_fileName), systemError(errno)));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        throw Error(QStringLiteral("%1 could not be completed (%2)").arg(shown(m_fileName), systemError(errno)));
    const int folder = ::open(QFile::encodeName(QFileInfo(m_fileName).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void clsExcelFile::Discard() noexcept
{
    closeQuietly();
    if (!m_fileName.isEmpty())
        ::unlink(QFile::encodeName(m_fileName).constData());
    m_fileName.clear();
}

void clsExcelFile::writeAll(const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(QStringLiteral("%1 cannot be written (%2)").arg(shown(m_fileName), systemError(n < 0 ? errno : EIO)));
        p += n;
        left -= n;
    }
}

void clsExcelFile::fail(const QString &reason)
{
    closeQuietly();
    throw Error(reason);
}

void clsExcelFile::closeQuietly() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
