#include "data/Backups.h"

#include "data/Engine.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "data/SqlCipherEngine.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

namespace {

BackupClock g_clock;
QString g_lastProblem;

QDateTime clockNow() { return g_clock ? g_clock() : QDateTime::currentDateTime(); }

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QByteArray native(const QString &path) { return QFile::encodeName(path); }

// A backup's name: "qmk-" and the time it was made, sortable as text ("qmk-2026-12-07T231500.dat"),
// with "-2", "-3", ... when two were made in the same second.
const char *const kStampFormat = "yyyy-MM-ddTHHmmss";
const QRegularExpression &backupName()
{
    static const QRegularExpression re(QStringLiteral("^qmk-(\\d{4}-\\d\\d-\\d\\dT\\d{6})(?:-(\\d+))?\\.dat$"));
    return re;
}

// How a date and time is shown to the user: day first, as everywhere in the program.
QString shownTime(const QDateTime &t) { return t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")); }

// A connection of the engine's own to a file, closed when it goes.
struct Handle {
    sqlite3 *db = nullptr;
    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { close(); }
    int close()
    {
        const int rc = db ? sqlite3_close(db) : SQLITE_OK;
        if (rc != SQLITE_OK)
            sqlite3_close_v2(db);
        db = nullptr;
        return rc;
    }
    QString error(int rc) const
    {
        return db && sqlite3_errcode(db) != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db))
                                                      : QString::fromUtf8(sqlite3_errstr(rc));
    }
};

// Opens a file keyed with the database password; answers the engine's status of reading its
// schema, which proves the key fits.
int openKeyed(const QString &path, int flags, Handle &h)
{
    int rc = sqlite3_open_v2(native(path).constData(), &h.db, flags, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_key(h.db, kDatabasePassword, int(std::strlen(kDatabasePassword)));
    sqlite3_busy_timeout(h.db, 3000);
    return sqlite3_exec(h.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}

// The first column of the first row, or the status of a statement that fails.
int scalar(sqlite3 *db, const char *sql, qint64 *value)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            *value = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return rc;
}

// The file behind a name: a link at the name itself is followed once (the installed program
// folder's qmk.dat is a link into the shared folder), and the folder has its links resolved.
QString fileBehind(const QString &path)
{
    QString named = QFileInfo(path).absoluteFilePath();
    char target[PATH_MAX];
    const ssize_t n = ::readlink(native(named).constData(), target, sizeof target - 1);
    if (n > 0)
        named = QFileInfo(QFileInfo(named).absoluteDir(), QFile::decodeName(QByteArray(target, int(n)))).absoluteFilePath();
    const QString folder = QFileInfo(named).absoluteDir().canonicalPath();
    return folder.isEmpty() ? named : QDir(folder).filePath(QFileInfo(named).fileName());
}

// Whether the database's folder is one a group shares (set-group-id, as the installed data/):
// backups and the lock file are then the group's, 0660, and the backup folder 2770.
bool sharedFolder(const QString &databasePath, struct stat *folder)
{
    return ::stat(native(QFileInfo(databasePath).absolutePath()).constData(), folder) == 0 &&
           (folder->st_mode & S_ISGID);
}

// The mode of a file made beside the database: the group's in a shared folder, else the
// database file's own (readable and writable by its owner at least).
mode_t fileModeFor(const QString &databasePath)
{
    struct stat folder {};
    if (sharedFolder(databasePath, &folder))
        return 0660;
    struct stat file {};
    if (::stat(native(databasePath).constData(), &file) == 0)
        return (file.st_mode & 0666) | 0600;
    return 0600;
}

// The backup folder, made when missing. It is not sticky as the data folder is, so that any
// member's program may remove the old backups that another member's program made.
QString backupFolder(const QString &databasePath)
{
    const QString folder = BackupFolderOf(databasePath);
    const QByteArray name = native(folder);
    if (::mkdir(name.constData(), 0700) == 0) {
        struct stat parent {};
        const bool shared = sharedFolder(databasePath, &parent);
        ::chmod(name.constData(), shared ? 02770 : (parent.st_mode & 0777) | 0700);
    } else if (errno != EEXIST) {
        throw SqlError(QStringLiteral("the folder '%1' cannot be made: %2").arg(folder, systemError(errno)));
    }
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw SqlError(QStringLiteral("'%1' is not a folder").arg(folder));
    return folder;
}

void syncPath(const QString &path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void removeMade(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        ::unlink(native(path + QLatin1String(suffix)).constData());
}

// Copies the database open on source into a new backup beside databasePath, through the engine's
// online backup: the copy is the database as one transaction saw it, whatever other programs save
// meanwhile, and it is encrypted with the same key. It is written under a temporary name and
// renamed when complete. Answers its path; throws SqlError with the reason.
QString writeBackup(sqlite3 *source, const QString &databasePath)
{
    const QString folder = backupFolder(databasePath);
    const QString stamp = QStringLiteral("qmk-") + clockNow().toString(QLatin1String(kStampFormat));
    const QString temp = QStringLiteral("%1/.%2.dat.partial-%3").arg(folder, stamp).arg(::getpid());
    const mode_t mode = fileModeFor(databasePath);
    const int fd = ::open(native(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        throw SqlError(QStringLiteral("the folder '%1' cannot be written: %2").arg(folder, systemError(errno)));
    ::fchmod(fd, mode);
    ::close(fd);
    QString why;
    {
        Handle dest;
        int rc = openKeyed(temp, SQLITE_OPEN_READWRITE, dest);
        sqlite3_backup *backup = rc == SQLITE_OK ? sqlite3_backup_init(dest.db, "main", source, "main") : nullptr;
        if (backup) {
            // Another program's save holds the file only for moments.
            for (int tries = 0; tries < 50; ++tries) {
                rc = sqlite3_backup_step(backup, -1);
                if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = sqlite3_errcode(dest.db);
        } else if (rc == SQLITE_OK) {
            rc = sqlite3_errcode(dest.db);
        }
        // The copy is one file, a plain rollback-journal database however the original is kept.
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(dest.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            why = dest.error(rc);
        else if ((rc = dest.close()) != SQLITE_OK)
            why = QString::fromUtf8(sqlite3_errstr(rc));
    }
    if (why.isEmpty()) {
        syncPath(temp);
        for (int n = 1; n < 100; ++n) {
            const QString name = n == 1 ? stamp + QStringLiteral(".dat") : QStringLiteral("%1-%2.dat").arg(stamp).arg(n);
            const QString final = folder + QLatin1Char('/') + name;
            if (::renameat2(AT_FDCWD, native(temp).constData(), AT_FDCWD, native(final).constData(), RENAME_NOREPLACE) == 0) {
                syncPath(folder);
                return final;
            }
            if (errno != EEXIST) {
                why = QStringLiteral("'%1' cannot be written: %2").arg(final, systemError(errno));
                break;
            }
        }
        if (why.isEmpty())
            why = QStringLiteral("too many backups were made in one second");
    }
    removeMade(temp);
    throw SqlError(why);
}

SqlCipherEngine *fileEngine(Connection &connection)
{
    return dynamic_cast<SqlCipherEngine *>(connection.Engine());
}

QString said(const QString &why) { return QStringLiteral("No backup of the database could be made: %1.").arg(why); }

QString backupNow(Connection &connection)
{
    g_lastProblem.clear();
    try {
        MakeBackup(connection);
    } catch (const SqlError &e) {
        g_lastProblem = said(e.description());
    }
    return g_lastProblem;
}

// The lock file beside the database, opened (made when missing) without following a link.
int openLockFile(const QString &databasePath, QString *why)
{
    const QByteArray name = native(databasePath + QStringLiteral(".lock"));
    int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        const mode_t mode = fileModeFor(databasePath);
        fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
        if (fd >= 0)
            ::fchmod(fd, mode);
        else if (errno == EEXIST)
            fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) {
        *why = QStringLiteral("'%1' cannot be opened: %2").arg(QFile::decodeName(name), systemError(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *why = QStringLiteral("'%1' is not a plain file").arg(QFile::decodeName(name));
        return -1;
    }
    return fd;
}

// A current file that the engine cannot open (damaged, or not a database at all) is kept as it
// is, byte for byte, among the backups before it is replaced.
QString keepBytesOf(const QString &databasePath)
{
    const QString folder = backupFolder(databasePath);
    const QString name = QStringLiteral("%1/qmk-%2-unreadable.dat")
                             .arg(folder, clockNow().toString(QLatin1String(kStampFormat)));
    QFile from(databasePath);
    QFile to(name);
    if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        to.write(from.readAll()) != from.size() || !to.flush()) {
        to.remove();
        throw SqlError(QStringLiteral("'%1' cannot be copied to '%2'").arg(databasePath, name));
    }
    ::fchmod(to.handle(), fileModeFor(databasePath));
    ::fsync(to.handle());
    return name;
}

// Writes the backup's bytes over the file in place (its owner, group and mode stay), after the
// side files the engine kept for the old contents are gone.
void overwriteWith(const QString &databasePath, const QString &backupPath)
{
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        ::unlink(native(databasePath + QLatin1String(suffix)).constData());
    QFile from(backupPath);
    if (!from.open(QIODevice::ReadOnly))
        throw SqlError(QStringLiteral("'%1' cannot be read: %2").arg(backupPath, from.errorString()));
    const QByteArray bytes = from.readAll();
    const int fd = ::open(native(databasePath).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && ::ftruncate(fd, 0) == 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size() &&
              ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        throw SqlError(QStringLiteral("'%1' cannot be written: %2").arg(databasePath, systemError(error)));
}

// A missing database file is made from the backup: a copy under a temporary name beside it,
// renamed into place when complete.
void makeFrom(const QString &databasePath, const QString &backupPath)
{
    const QString temp = QStringLiteral("%1.restore-%2").arg(databasePath).arg(::getpid());
    QFile from(backupPath);
    QFile to(temp);
    const bool ok = from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
                    to.write(from.readAll()) == from.size() && to.flush() && ::fchmod(to.handle(), fileModeFor(databasePath)) == 0 &&
                    ::fsync(to.handle()) == 0;
    to.close();
    if (!ok || ::renameat2(AT_FDCWD, native(temp).constData(), AT_FDCWD, native(databasePath).constData(),
                           RENAME_NOREPLACE) != 0) {
        const QString why = ok ? systemError(errno) : to.errorString();
        QFile::remove(temp);
        throw SqlError(QStringLiteral("'%1' cannot be written: %2").arg(databasePath, why));
    }
    syncPath(QFileInfo(databasePath).absolutePath());
}

// Replaces the contents of the open file with the backup's through the engine's online backup:
// one transaction of the file, so that the file is the old database or the restored one, never
// a mix, and it keeps its owner, group and mode. The write-ahead log is folded in first and gone
// after.
void copyInto(Handle &dest, const QString &backupPath)
{
    Handle source;
    int rc = openKeyed(backupPath, SQLITE_OPEN_READONLY, source);
    if (rc != SQLITE_OK)
        throw SqlError(QStringLiteral("'%1' cannot be read: %2").arg(backupPath, source.error(rc)));
    rc = sqlite3_exec(dest.db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_backup *backup = rc == SQLITE_OK ? sqlite3_backup_init(dest.db, "main", source.db, "main") : nullptr;
    if (backup) {
        rc = sqlite3_backup_step(backup, -1);
        sqlite3_backup_finish(backup);
        rc = rc == SQLITE_DONE ? sqlite3_errcode(dest.db) : rc;
    } else if (rc == SQLITE_OK) {
        rc = sqlite3_errcode(dest.db);
    }
    if (rc != SQLITE_OK)
        throw SqlError(dest.error(rc));
}

}  // namespace

BackupClock SetBackupClock(BackupClock clock) { return std::exchange(g_clock, std::move(clock)); }

QString BackupFolderOf(const QString &databasePath)
{
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/backups");
}

QList<BackupInfo> ListBackups(const QString &databasePath, bool readContents)
{
    struct Found {
        QDateTime made;
        int n;
        BackupInfo info;
    };
    std::vector<Found> found;
    const QDir folder(BackupFolderOf(fileBehind(databasePath)));
    for (const QFileInfo &file : folder.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        const QRegularExpressionMatch m = backupName().match(file.fileName());
        if (!m.hasMatch())
            continue;
        const QDateTime made = QDateTime::fromString(m.captured(1), QLatin1String(kStampFormat));
        if (!made.isValid())
            continue;
        BackupInfo info = readContents ? ReadBackup(file.filePath()) : BackupInfo{};
        info.path = file.filePath();
        info.made = made;
        info.size = file.size();
        found.push_back({made, m.captured(2).isEmpty() ? 1 : m.captured(2).toInt(), info});
    }
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) {
        return a.made != b.made ? a.made > b.made : a.n > b.n;
    });
    QList<BackupInfo> out;
    for (const Found &f : found)
        out << f.info;
    return out;
}

BackupInfo ReadBackup(const QString &backupPath)
{
    BackupInfo info;
    info.path = backupPath;
    info.size = QFileInfo(backupPath).size();
    const QRegularExpressionMatch m = backupName().match(QFileInfo(backupPath).fileName());
    info.made = m.hasMatch() ? QDateTime::fromString(m.captured(1), QLatin1String(kStampFormat))
                             : QFileInfo(backupPath).lastModified();
    Handle h;
    int rc = openKeyed(backupPath, SQLITE_OPEN_READONLY, h);
    if ((rc & 0xff) == SQLITE_NOTADB) {
        info.problem = QStringLiteral("the database password does not open it (it is damaged, or no Quillmark database)");
        return info;
    }
    if (rc != SQLITE_OK) {
        info.problem = h.error(rc);
        return info;
    }
    qint64 version = 0;
    if (scalar(h.db, "PRAGMA user_version", &version) == SQLITE_OK && version > kFileSchemaVersion) {
        info.problem = QStringLiteral("it was made by a later version of Quillmark");
        return info;
    }
    sqlite3_stmt *stmt = nullptr;
    rc = sqlite3_prepare_v2(h.db, "SELECT type, name, sql FROM sqlite_master", -1, &stmt, nullptr);
    while (rc == SQLITE_OK && info.problem.isEmpty() && sqlite3_step(stmt) == SQLITE_ROW) {
        const auto text = [&](int c) { return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c))); };
        if (!IsOwnSchemaObject(text(0), text(1), text(2)))
            info.problem = QStringLiteral("it holds something Quillmark never makes (%1 \"%2\")").arg(text(0), text(1));
    }
    sqlite3_finalize(stmt);
    qint64 projects = 0, entries = 0;
    if (info.problem.isEmpty() && rc == SQLITE_OK)
        rc = scalar(h.db, "SELECT count(*) FROM tblTasks", &projects);
    if (info.problem.isEmpty() && rc == SQLITE_OK)
        rc = scalar(h.db, "SELECT count(*) FROM tblTransaction", &entries);
    if (info.problem.isEmpty() && rc != SQLITE_OK)
        info.problem = h.error(rc);
    if (info.problem.isEmpty()) {
        info.projects = int(projects);
        info.entries = int(entries);
    }
    return info;
}

QString MakeBackup(Connection &connection)
{
    SqlCipherEngine *engine = fileEngine(connection);
    if (!engine || !engine->Handle())
        throw SqlError(QStringLiteral("no database file is open"));
    const QString made = writeBackup(engine->Handle(), engine->Where());
    engine->ForgetSaves();
    PruneBackups(engine->Where());
    return made;
}

QString BackupIfNoneToday(Connection &connection)
{
    SqlCipherEngine *engine = fileEngine(connection);
    if (!engine)
        return {};
    const QDate today = clockNow().date();
    for (const BackupInfo &b : ListBackups(engine->Where(), false))
        if (b.made.date() == today)
            return {};
    return backupNow(connection);
}

QString BackupIfSaved(Connection &connection)
{
    SqlCipherEngine *engine = fileEngine(connection);
    if (!engine || engine->SavesSinceOpen() == 0)
        return {};
    return backupNow(connection);
}

QString LastBackupProblem() { return g_lastProblem; }

void PruneBackups(const QString &databasePath)
{
    const QDateTime now = clockNow();
    const QDateTime recent = now.addDays(-14);
    const int thisMonth = now.date().year() * 12 + now.date().month();
    std::map<int, bool> monthKept;
    for (const BackupInfo &b : ListBackups(databasePath, false)) {  // newest first
        const int month = b.made.date().year() * 12 + b.made.date().month();
        bool keep = b.made >= recent;
        if (thisMonth - month >= 0 && thisMonth - month < 12 && !monthKept[month])
            keep = monthKept[month] = true;
        if (!keep)
            QFile::remove(b.path);
    }
    // What a program that was stopped while writing a backup left behind.
    const QDir folder(BackupFolderOf(databasePath));
    for (const QFileInfo &file : folder.entryInfoList({QStringLiteral(".qmk-*.partial-*")}, QDir::Files | QDir::Hidden))
        if (file.lastModified().secsTo(QDateTime::currentDateTime()) > 24 * 3600)
            QFile::remove(file.filePath());
}

RestoreResult RestoreBackup(const QString &backupPath, const QString &databasePath, Connection *open)
{
    RestoreResult result;
    if (open && open->IsOpen() && !fileEngine(*open)) {
        result.message = QStringLiteral("Backups are kept of a database file only; a database server is backed up on the server.");
        return result;
    }
    const QString path = open && open->IsOpen() ? open->Where() : fileBehind(databasePath);
    const BackupInfo backup = ReadBackup(backupPath);
    if (!backup.problem.isEmpty()) {
        result.message = QStringLiteral("The backup '%1' cannot be restored: %2. Nothing was changed.").arg(backupPath, backup.problem);
        return result;
    }
    if (QFileInfo(backupPath).canonicalFilePath() == QFileInfo(path).canonicalFilePath()) {
        result.message = QStringLiteral("'%1' is the database itself. Nothing was changed.").arg(backupPath);
        return result;
    }
    // This program's connection is closed for the restore, and opened after it: again, or for the
    // first time on a file that was missing.
    const bool wasOpen = open && open->IsOpen();
    if (wasOpen)
        open->Close();
    QString why;
    const int lock = openLockFile(path, &why);
    if (lock < 0) {
        result.message = QStringLiteral("The database cannot be restored: %1. Nothing was changed.").arg(why);
    } else if (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        result.outcome = RestoreOutcome::InUse;
        result.message = QStringLiteral("Another Quillmark has the database open; close it and try again.");
    } else {
        bool overwritten = false;  // the file's bytes are being replaced (one the engine cannot open)
        try {
            if (!QFileInfo::exists(path)) {
                makeFrom(path, backupPath);
            } else {
                Handle current;
                const int rc = openKeyed(path, SQLITE_OPEN_READWRITE, current);
                if (rc != SQLITE_OK && (rc & 0xff) != SQLITE_NOTADB && (rc & 0xff) != SQLITE_CORRUPT)
                    throw SqlError(QStringLiteral("'%1' cannot be opened: %2").arg(path, current.error(rc)));
                if (rc == SQLITE_OK) {
                    result.currentBackup = writeBackup(current.db, path);
                    copyInto(current, backupPath);
                    if (const int rc = current.close(); rc != SQLITE_OK)
                        throw SqlError(QString::fromUtf8(sqlite3_errstr(rc)));
                } else {
                    current.close();
                    result.currentBackup = keepBytesOf(path);
                    overwritten = true;
                    overwriteWith(path, backupPath);
                }
                // No program has the file open: what the engine kept beside it is stale.
                if (!QFileInfo::exists(path + QStringLiteral("-wal")))
                    ::unlink(native(path + QStringLiteral("-shm")).constData());
                PruneBackups(path);
            }
            result.outcome = RestoreOutcome::Restored;
            result.message = QStringLiteral("The database was restored from the backup of %1.").arg(shownTime(backup.made));
        } catch (const SqlError &e) {
            result.message = QStringLiteral("The database could not be restored: %1.").arg(e.description());
            if (!overwritten)
                result.message += QStringLiteral(" Nothing was changed.");
            if (!result.currentBackup.isEmpty())
                result.message += QStringLiteral(" The database as it was is kept in '%1'.").arg(result.currentBackup);
        }
    }
    ReleaseDatabaseLock(lock);
    if (wasOpen || (open && result.outcome == RestoreOutcome::Restored)) {
        try {
            open->Open(QStringLiteral("dbq=") + path, QString(), QString::fromLatin1(kDatabasePassword));
        } catch (const SqlError &e) {
            result.message += QStringLiteral(" The database could not be opened again: %1").arg(e.description());
        }
    }
    return result;
}

int HoldDatabaseShared(const QString &databasePath, int waitMs)
{
    QString why;
    const int fd = openLockFile(databasePath, &why);
    if (fd < 0)
        return -1;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(waitMs, 0));
    while (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return fd;  // a file system without such locks: used as it is
        if (std::chrono::steady_clock::now() >= until) {
            ::close(fd);
            throw SqlError(QStringLiteral("The database file '%1' is being restored from a backup; try again in a "
                                          "moment.").arg(databasePath));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return fd;
}

void ReleaseDatabaseLock(int fd)
{
    if (fd >= 0)
        ::close(fd);
}
