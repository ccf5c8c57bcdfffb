#include "ui/OutputFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ui {

namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

}  // namespace

bool IsSharedFolder(const QString &folder)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    struct stat st {};
    if (real.isEmpty() || ::stat(QFile::encodeName(real).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return (st.st_mode & S_ISGID) && st.st_gid != ::getgid();
}

mode_t OutputMode(const QString &folder) { return IsSharedFolder(folder) ? 0660 : 0600; }

OutputFile::OutputFile(const QString &target) : m_target(target) {}

OutputFile::~OutputFile()
{
    if (!m_partial.isEmpty())
        ::unlink(QFile::encodeName(m_partial).constData());
}

bool OutputFile::Open(QString *why)
{
    const QFileInfo info(m_target);
    QByteArray name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".part-XXXXXX"));
    // mkstemp makes the file new (never through a link) and for the user alone.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *why = systemError(errno);
        return false;
    }
    ::close(fd);
    m_partial = QFile::decodeName(name);
    return true;
}

bool OutputFile::Commit(QString *why)
{
    const QByteArray from = QFile::encodeName(m_partial);
    const QString folder = QFileInfo(m_target).absolutePath();
    const int fd = ::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    bool done = fd >= 0 && ::fstat(fd, &st) == 0;
    if (done && !S_ISREG(st.st_mode)) {
        done = false;
        errno = EINVAL;
    }
    done = done && ::fchmod(fd, OutputMode(folder)) == 0 && (::fsync(fd) == 0 || errno == EINVAL);
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!done) {
        *why = systemError(error);
        return false;
    }
    if (std::rename(from.constData(), QFile::encodeName(m_target).constData()) != 0) {
        *why = systemError(errno);
        return false;
    }
    m_partial.clear();
    // The new name is on the disk too, so a power cut after the user is told leaves the file.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

QString ProjectFileName(qint32 taskId, const QString &name)
{
    QString part;
    for (const QChar c : name.simplified())
        part += c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c) ? QChar('-') : c;
    part = part.left(60).trimmed();
    while (part.endsWith(QLatin1Char('.')))
        part.chop(1);
    return part.isEmpty() ? QStringLiteral("Project %1").arg(taskId) : QStringLiteral("Project %1 - %2").arg(taskId).arg(part);
}

}  // namespace ui
