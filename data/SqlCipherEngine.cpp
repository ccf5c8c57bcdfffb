#include "data/SqlCipherEngine.h"

#include "data/Backups.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"

#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <grp.h>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

namespace {

constexpr int kMaxCachedStatements = 512;

QString errorText(sqlite3 *db) { return QString::fromUtf8(sqlite3_errmsg(db)); }

bool isDateType(const char *decl)
{
    return decl && (qstricmp(decl, "DATE") == 0 || qstricmp(decl, "DATETIME") == 0);
}

// Names that differ only in letter case are one name in every alphabet: the engine's own NOCASE
// folds A to Z alone, so the connection replaces it with simple Unicode case folding (as
// QString::compare does; "ß" and "ss" stay different). ASCII, the common case, is compared
// in place; the rest from the first non-ASCII character on, which gives the same order as
// folding the whole texts.
int compareNoCase(void *, int len1, const void *text1, int len2, const void *text2)
{
    const auto *a = static_cast<const unsigned char *>(text1);
    const auto *b = static_cast<const unsigned char *>(text2);
    const int shorter = std::min(len1, len2);
    int i = 0;
    for (; i < shorter; ++i) {
        unsigned char ca = a[i], cb = b[i];
        if ((ca | cb) & 0x80)
            break;
        if (ca >= 'A' && ca <= 'Z')
            ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z')
            cb += 'a' - 'A';
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i == shorter)
        return len1 < len2 ? -1 : len1 > len2 ? 1 : 0;
    const int r = QString::compare(QString::fromUtf8(reinterpret_cast<const char *>(a + i), len1 - i),
                                   QString::fromUtf8(reinterpret_cast<const char *>(b + i), len2 - i),
                                   Qt::CaseInsensitive);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

// A name as an SQL identifier.
QString quotedName(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Every row of a statement, each column as text; nothing when it cannot run.
QList<QStringList> rowsOf(sqlite3 *db, const QString &sql)
{
    QList<QStringList> rows;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
        return rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)));
        rows << row;
    }
    sqlite3_finalize(stmt);
    return rows;
}

// True when an index ordered by NOCASE may disagree with the program's NOCASE: one of its
// columns holds a text outside ASCII (on ASCII both foldings agree, whoever built the index),
// or it orders an expression, which is not checked.
bool nocaseIndexesMayDisagree(sqlite3 *db)
{
    std::set<std::pair<QString, QString>> columns;  // table and column, quoted
    for (const QStringList &table : rowsOf(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
        for (const QStringList &index : rowsOf(db, QStringLiteral("PRAGMA index_list(%1)").arg(quotedName(table[0])))) {
            // index_xinfo: seqno, cid, name, desc, coll, key
            for (const QStringList &part : rowsOf(db, QStringLiteral("PRAGMA index_xinfo(%1)").arg(quotedName(index.value(1))))) {
                if (part.value(5) != QLatin1String("1") || part.value(4).compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) != 0)
                    continue;
                if (part.value(1).toInt() < 0)
                    return true;
                columns.emplace(quotedName(table[0]), quotedName(part.value(2)));
            }
        }
    }
    for (const auto &[table, column] : columns) {
        // A text outside ASCII has more bytes than characters.
        if (!rowsOf(db, QStringLiteral("SELECT 1 FROM %1 WHERE length(%2) <> length(CAST(%2 AS BLOB)) LIMIT 1")
                            .arg(table, column)).isEmpty())
            return true;
    }
    return false;
}

// The connection's answer to a PRAGMA that sets something, as text.
QString pragma(sqlite3 *db, const char *sql)
{
    const QList<QStringList> rows = rowsOf(db, QString::fromLatin1(sql));
    return rows.isEmpty() ? QString() : rows.front().value(0);
}

bool isDamage(int rc) { return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB; }

bool isBusy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

// The files the engine makes beside a database while it works on it.
const char *const kSideSuffixes[] = {"-wal", "-shm", "-journal"};

bool isSideFile(const char *path)
{
    const size_t len = std::strlen(path);
    for (const char *suffix : kSideSuffixes) {
        const size_t n = std::strlen(suffix);
        if (len > n && std::strcmp(path + len - n, suffix) == 0)
            return true;
    }
    return false;
}

// The engine's own file-open call, and the one that replaces it. The database's folder may be
// one that every user of the computer writes: whatever another user has put at a side file's
// name, a symbolic link (to a file of the user running the program) or a second name of such a
// file, is not opened, so that it can neither be written nor emptied. The main file is opened
// without following a link too: the one link the program follows, the package's from the program
// folder, has been followed before (resolvedPath).
using OpenCall = int (*)(const char *, int, int);
OpenCall g_engineOpen = nullptr;

int openWithoutFollowing(const char *path, int flags, int mode)
{
    const int fd = g_engineOpen(path, flags | O_NOFOLLOW, mode);
    if (fd < 0 || !isSideFile(path))
        return fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        ::close(fd);
        errno = ELOOP;
        return -1;
    }
    return fd;
}

void openFilesWithoutFollowingLinks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs *vfs = sqlite3_vfs_find("unix");
        if (!vfs || !vfs->xGetSystemCall || !vfs->xSetSystemCall)
            return;
        g_engineOpen = reinterpret_cast<OpenCall>(vfs->xGetSystemCall(vfs, "open"));
        if (g_engineOpen)
            vfs->xSetSystemCall(vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(openWithoutFollowing));
    });
}

// What is wrong with a side file of the database at path, said for the user; empty when every
// side file is missing or a plain file of its own.
QString sideFileProblem(const QString &path)
{
    for (const char *suffix : kSideSuffixes) {
        const QString side = path + QLatin1String(suffix);
        struct stat st {};
        if (::lstat(QFile::encodeName(side).constData(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode) && st.st_nlink == 1)
            continue;
        const QString what = S_ISLNK(st.st_mode) ? QStringLiteral("is a link to another file")
                             : S_ISREG(st.st_mode) ? QStringLiteral("is a second name of another file")
                                                   : QStringLiteral("is not a plain file");
        return QStringLiteral("The database file '%1' was not opened: '%2' %3, which Quillmark never makes. "
                              "It may have been put there so that Quillmark overwrites that file. Nothing was "
                              "changed; ask whoever looks after this computer to remove '%2'.")
            .arg(path, side, what);
    }
    return {};
}

}  // namespace


// ---- The encrypted file ----

SqlCipherEngine::SqlCipherEngine(const QString &path, const QString &password, bool create, int busyTimeout)
    : m_busyTimeout(busyTimeout)
{
    try {
        openFile(path, password, create);
    } catch (...) {
        Close();
        throw;
    }
}

SqlCipherEngine::~SqlCipherEngine() { Close(); }

void SqlCipherEngine::Close()
{
    endRows();
    clearCache();
    if (m_db) {
        // The file goes back to a plain rollback journal, its write-ahead log folded in: a copy
        // of the file alone then holds every change, and a folder that is read-only later (or
        // a medium it is burnt to) can still read it. Another program that has the file open
        // keeps the log; the last one to close switches the file back.
        if (!m_readOnly) {
            sqlite3_busy_timeout(m_db, 0);
            sqlite3_exec(m_db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        }
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    ReleaseDatabaseLock(m_lockFd);
    m_lockFd = -1;
    m_saves = 0;
    m_readOnly = false;
    m_cannotSave.clear();
    m_path.clear();
    m_dev = 0;
    m_ino = 0;
}


namespace {

// qmk_user(): the logged-in user's name ("sysop" for the master login, empty when nobody is
// logged in), which the file's history triggers record as who made a change.
void currentUser(sqlite3_context *context, int, sqlite3_value **)
{
    const QByteArray name = CurrentUserId.toUtf8();
    sqlite3_result_text(context, name.constData(), int(name.size()), SQLITE_TRANSIENT);
}

// Opens and keys a handle; answers the engine's status of reading the schema, which proves
// that the key fits the file.
int openKeyed(const QByteArray &name, int flags, const QString &password, sqlite3 **db)
{
    int rc = sqlite3_open_v2(name.constData(), db, flags, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    sqlite3_create_collation_v2(*db, "NOCASE", SQLITE_UTF8, nullptr, compareNoCase, nullptr);
    sqlite3_create_function_v2(*db, "qmk_user", 0, SQLITE_UTF8, nullptr, currentUser, nullptr,
                               nullptr, nullptr);
    const QByteArray key = password.toUtf8();
    sqlite3_key(*db, key.constData(), key.size());
    sqlite3_busy_timeout(*db, 3000);
    return sqlite3_exec(*db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}

}  // namespace

namespace {

// The file to open. The folder it is named in has its links resolved, and a link at the name
// itself is followed once: the installed program folder's qmk.dat is root's link into the shared
// folder. The name it leads to is never resolved further: a link found there was put in the shared
// folder by someone else, and is refused by checkPath (the engine opens nothing through a link).
// A new file is made at the name given, in its folder resolved.
QString resolvedPath(const QString &path, bool create)
{
    QString named = QFileInfo(path).absoluteFilePath();
    if (!create) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(QFile::encodeName(named).constData(), target, sizeof target - 1);
        if (n > 0)
            named = QFileInfo(QFileInfo(named).absoluteDir(), QFile::decodeName(QByteArray(target, int(n)))).absoluteFilePath();
    }
    const QFileInfo info(named);
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? named : QDir(folder).filePath(info.fileName());
}

// The text for a user whom the system keeps from the shared database because the file or its
// folder belongs to the group quillmark, which the user is not in; empty otherwise.
QString notInGroupProblem(const QString &path)
{
    const struct group *shared = ::getgrnam("quillmark");
    if (!shared)
        return {};
    const gid_t gid = shared->gr_gid;
    gid_t groups[NGROUPS_MAX];
    const int count = ::getgroups(NGROUPS_MAX, groups);
    if (::getegid() == gid || std::find(groups, groups + std::max(count, 0), gid) != groups + std::max(count, 0))
        return {};
    for (const QString &p : {path, QFileInfo(path).absolutePath()}) {
        struct stat st {};
        if (::stat(QFile::encodeName(p).constData(), &st) == 0 && st.st_gid == gid)
            return QStringLiteral("You are not allowed to use the shared Quillmark database: ask whoever looks after "
                                  "this computer to add you to the group quillmark.");
    }
    return {};
}

// Why the user may not reach the file: the box of the group when that is why.
QString deniedProblem(const QString &path)
{
    const QString problem = notInGroupProblem(path);
    if (!problem.isEmpty())
        return problem;
    return QStringLiteral("Cannot open the database file '%1': %2.").arg(path, QString::fromLocal8Bit(std::strerror(EACCES)));
}

QString linkProblem(const QString &path)
{
    return QStringLiteral("The database file '%1' was not opened: it is a link to another file, which Quillmark never "
                          "makes. It may have been put there so that Quillmark opens or makes that file. Nothing was "
                          "changed; ask whoever looks after this computer to remove '%1'.").arg(path);
}

// Why the engine could not open the file, said for the user, when something was put in the way
// since checkPath (a side file that is not the engine's, a link at the database's name) or the
// user may not read the file; empty otherwise.
QString cantOpenProblem(const QString &path, int error)
{
    const QString problem = sideFileProblem(path);
    if (!problem.isEmpty())
        return problem;
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (error == ELOOP || (::lstat(native.constData(), &st) == 0 && S_ISLNK(st.st_mode)))
        return linkProblem(path);
    if (::access(native.constData(), R_OK) != 0 && errno == EACCES)
        return deniedProblem(path);
    return {};
}

// Refuses what is no file of ours before the engine sees it: nothing named, a missing file (or
// one in the way of a new file), a link, a folder, an empty file, side files that are not the
// engine's, and a file the user may not reach.
void checkPath(const QString &path, bool create)
{
    if (path.isEmpty())
        throw SqlError(QStringLiteral("No database file was named in the connection."));
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == EACCES)
        throw SqlError(deniedProblem(path));
    if (S_ISLNK(st.st_mode))
        throw SqlError(linkProblem(path));
    const QString problem = sideFileProblem(path);
    if (!problem.isEmpty())
        throw SqlError(problem);
    const bool exists = QFileInfo::exists(path);
    if (!create && !exists)
        throw SqlError(QStringLiteral("Could not find file '%1'.").arg(path));
    if (create && exists)
        throw SqlError(QStringLiteral("The file '%1' already exists.").arg(path));
    if (!create && !QFileInfo(path).isFile())
        throw SqlError(QStringLiteral("'%1' is not a database file.").arg(path));
    // The engine would take an empty file for a new, empty database and every statement would
    // then fail on missing tables; a file cut to nothing is no database of ours.
    if (!create && QFileInfo(path).size() == 0)
        throw SqlError(QStringLiteral("'%1' is empty: it is not a Quillmark database.").arg(path));
}

// Makes the new file itself, never through a link and never over a file that appeared since the
// check, so that the engine then only opens a file that is ours.
void makeNewFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0644);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            throw SqlError(QStringLiteral("The file '%1' already exists.").arg(path));
        throw SqlError(QStringLiteral("Cannot make the database file '%1': %2.")
                           .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    ::close(fd);
}

// Opens and keys the file; a file that the system lets us read but not write opens for reading.
// Sets asItStands when the file is read without its write-ahead log.
sqlite3 *openHandle(const QString &path, const QString &password, bool create, bool *asItStands)
{
    sqlite3 *db = nullptr;
    // The connection is used by one thread only: the engine need not lock it around every call
    // (a result of tens of thousands of cells makes several calls per cell).
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = openKeyed(path.toUtf8(), flags, password, &db);
    *asItStands = false;
    if ((rc & 0xff) == SQLITE_CANTOPEN) {
        const QString problem = cantOpenProblem(path, sqlite3_system_errno(db));
        if (!problem.isEmpty()) {
            sqlite3_close_v2(db);
            throw SqlError(problem);
        }
    }
    if ((rc & 0xff) == SQLITE_CANTOPEN && !create) {
        // A file still in write-ahead-log mode (its program was killed, or another program
        // keeps it so) cannot be read without the log's index, and a read-only folder cannot
        // hold one: read the file as it stands.
        *asItStands = true;
        sqlite3_close_v2(db);
        db = nullptr;
        const QByteArray uri = "file:" + QUrl::toPercentEncoding(path, "/") + "?immutable=1";
        rc = openKeyed(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, password, &db);
    }
    if (rc != SQLITE_OK) {
        const QString why = db ? errorText(db) : QStringLiteral("out of memory");
        sqlite3_close_v2(db);
        if ((rc & 0xff) == SQLITE_NOTADB)
            throw SqlError(QStringLiteral("Cannot open the database file '%1': %2 (not a valid password, or not "
                                          "a Quillmark database).").arg(path, why));
        throw SqlError(QStringLiteral("Cannot open the database file '%1': %2.").arg(path, why));
    }
    return db;
}

}  // namespace

void SqlCipherEngine::openFile(const QString &named, const QString &password, bool create)
{
    Close();
    openFilesWithoutFollowingLinks();
    const QString path = named.isEmpty() ? named : resolvedPath(named, create);
    checkPath(path, create);
    if (create)
        makeNewFile(path);
    // Held while the file is open, so that a restore never replaces it under this program (a
    // file being made is no one else's yet).
    if (!create)
        m_lockFd = HoldDatabaseShared(path, m_busyTimeout);
    bool asItStands = false;
    sqlite3 *db = nullptr;
    try {
        db = openHandle(path, password, create, &asItStands);
    } catch (...) {
        if (create)
            QFile::remove(path);
        throw;
    }
    m_db = db;
    m_path = path;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        m_dev = st.st_dev, m_ino = st.st_ino;
    sqlite3_busy_timeout(db, m_busyTimeout);
    // Every commit of a transaction that wrote (the file's own upgrade at opening is forgotten
    // below).
    sqlite3_commit_hook(db, [](void *saves) { return ++*static_cast<long long *>(saves), 0; }, &m_saves);
    if (!create) {
        refuseLaterVersion(path);
        refuseForeignSchema(path);
    }
    // Room for a whole ledger of the largest size in decrypted pages, so that showing the same
    // project again reads no page twice.
    sqlite3_exec(db, "PRAGMA cache_size=-32000", nullptr, nullptr, nullptr);
    // A save shown as done is on the disk: every commit waits for it to be written there.
    sqlite3_exec(db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    if (sqlite3_db_readonly(db, "main") == 1) {
        m_readOnly = true;
        m_cannotSave = QStringLiteral("Changes cannot be saved: the database file '%1' can only be read (%2).")
                           .arg(path, QString::fromUtf8(sqlite3_errstr(SQLITE_READONLY)));
        if (asItStands && QFileInfo(path + QStringLiteral("-wal")).size() > 0)
            m_cannotSave += QStringLiteral(" The latest changes, kept in '%1-wal', are not shown until its folder "
                                           "can be written.").arg(path);
        return;
    }
    if (!create && !sortNamesAgain(path))
        return;
    if (!create) {
        upgradeSchema(path);
        forgetDeletedImports();
    }
    useWriteAheadLog();
    m_saves = 0;
}

namespace {

int userVersion(sqlite3 *db)
{
    const QList<QStringList> rows = rowsOf(db, QStringLiteral("PRAGMA user_version"));
    return rows.isEmpty() ? 0 : rows.front().value(0).toInt();
}

// The program that last laid out the file, as it wrote itself into the file's settings; empty
// when the settings are not the table Quillmark makes (nothing else is read from a file).
QString madeBy(sqlite3 *db)
{
    const QList<QStringList> table =
        rowsOf(db, QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE name='tblSettings'"));
    if (table.size() != 1 || !IsOwnSchemaObject(table[0].value(0), table[0].value(1), table[0].value(2)))
        return {};
    const QList<QStringList> rows = rowsOf(db, QStringLiteral("SELECT Value FROM tblSettings WHERE Name='Program'"));
    return rows.isEmpty() ? QString() : rows.front().value(0);
}

}  // namespace

// A file laid out by a later version of the program may hold tables this one does not know and
// must not change: it is closed as it is, saying which version made it.
void SqlCipherEngine::refuseLaterVersion(const QString &path)
{
    const int version = userVersion(m_db);
    if (version <= kFileSchemaVersion)
        return;
    const QString program = madeBy(m_db);
    m_readOnly = true;
    Close();
    throw SqlError(QStringLiteral("The database file '%1' was made by %2 (its tables are of version %3; this "
                                  "program knows versions up to %4). Open it with that version of Quillmark or a "
                                  "later one; nothing in the file was changed.")
                       .arg(path, program.isEmpty() ? QStringLiteral("a later version of Quillmark") : program)
                       .arg(version).arg(kFileSchemaVersion));
}

// A file of an earlier version is brought up to date in one transaction before anyone logs in:
// either every step is made or none.
void SqlCipherEngine::upgradeSchema(const QString &path)
{
    const int version = std::max(userVersion(m_db), 1);
    if (version >= kFileSchemaVersion)
        return;
    QString script = QStringLiteral("BEGIN IMMEDIATE;");
    for (const QString &step : FileUpgradeSteps(version))
        script += step;
    script += QStringLiteral("INSERT OR REPLACE INTO tblSettings (Name,Value) VALUES ('Program',%1);"
                             "PRAGMA user_version=%2;COMMIT;")
                  .arg(QuotedProgramName()).arg(kFileSchemaVersion);
    char *err = nullptr;
    const int rc = sqlite3_exec(m_db, script.toUtf8().constData(), nullptr, nullptr, &err);
    if (rc == SQLITE_OK)
        return;
    const QString why = QString::fromUtf8(err ? err : sqlite3_errstr(rc));
    sqlite3_free(err);
    Rollback();
    Close();
    if (isBusy(rc))
        throw SqlError(QStringLiteral("The database file '%1' must be brought up to this version of Quillmark, but "
                                      "another program is saving in it. Nothing was changed; start Quillmark again "
                                      "in a moment.").arg(path));
    throw SqlError(QStringLiteral("The database file '%1' could not be brought up to this version of Quillmark: "
                                  "%2. Nothing in it was changed.").arg(path, why));
}

// Another program may have written names with its own NOCASE, which folds A to Z alone: the
// indexes are sorted again. Answers false when the file is then only read.
bool SqlCipherEngine::sortNamesAgain(const QString &path)
{
    if (!nocaseIndexesMayDisagree(m_db))
        return true;
    const int rc = sqlite3_exec(m_db, "REINDEX NOCASE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return true;
    const QString why = errorText(m_db);
    if (isDamage(rc)) {
        Close();
        throw SqlError(QStringLiteral("The database file '%1' is damaged: %2.").arg(path, why));
    }
    // Writing through indexes in another order would damage them: the file is only read.
    sqlite3_exec(m_db, "PRAGMA query_only=1", nullptr, nullptr, nullptr);
    m_readOnly = true;
    m_cannotSave = QStringLiteral("Changes cannot be saved: the names in the database file '%1' could "
                                  "not be sorted again for matching in any letter case (%2).").arg(path, why);
    return false;
}

// The file holds Quillmark's own tables and indexes and nothing else. Anyone who may write the
// shared file could add views, triggers or virtual tables that run inside the engine when a
// statement touches them; such a file is closed before any of it runs, and left as it is.
// An entry deleted from the ledger is no longer an import's: its key may be given again, and an
// undo must never remove the entry that then takes it. Its bank id and fingerprint stay, so the
// line is still known as imported. The trigger lives in this connection only (a temporary one),
// so the file holds nothing but its tables and indexes.
void SqlCipherEngine::forgetDeletedImports()
{
    const char *const trigger =
        "CREATE TEMP TRIGGER IF NOT EXISTS qmk_forget_imported AFTER DELETE ON main.tblTransaction BEGIN "
        "UPDATE tblImportedEntries SET ActionId = NULL WHERE ActionId = OLD.Id; END";
    const int rc = sqlite3_exec(m_db, trigger, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqlCipherEngine::refuseForeignSchema(const QString &path)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, "SELECT type, name, sql FROM sqlite_master", -1, &stmt, nullptr);
    QString foreign;
    while (rc == SQLITE_OK && foreign.isEmpty() && sqlite3_step(stmt) == SQLITE_ROW) {
        const auto text = [&](int c) { return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c))); };
        if (!IsOwnSchemaObject(text(0), text(1), text(2)))
            foreign = QStringLiteral("%1 \"%2\"").arg(text(0), text(1));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK)
        fail(rc);
    if (foreign.isEmpty())
        return;
    m_readOnly = true;  // closed as it is: not even its journal mode is written back
    Close();
    throw SqlError(QStringLiteral("The database file '%1' holds something Quillmark never makes (%2). It may have "
                                  "been altered to attack the program, so it was not opened, and nothing in it was "
                                  "run or changed.").arg(path, foreign));
}

[[noreturn]] void SqlCipherEngine::fail(int rc)
{
    if (isBusy(rc))
        throw DatabaseBusy();
    const int primary = rc & 0xff;
    const QString problem = m_path.isEmpty() ? QString() : sideFileProblem(m_path);
    if (!problem.isEmpty() && (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR))
        throw SqlError(problem);
    // The disk failed, or the file went from under the program: a fault of the file, not of the
    // statement. A damaged page of a file that is still the one opened stays a failure of its own.
    const QString gone = whatBecameOfTheFile();
    if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN || (isDamage(rc) && !gone.isEmpty()))
        throw ConnectionLost::File(m_path, gone.isEmpty() ? errorText(m_db) : gone);
    throw SqlError(errorText(m_db));
}

QString SqlCipherEngine::whatBecameOfTheFile() const
{
    if (m_path.isEmpty() || m_ino == 0)
        return {};
    struct stat st {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) != 0) {
        const int error = errno;
        return error == ENOENT ? QStringLiteral("it is no longer there (it was removed or moved away)")
                               : QString::fromLocal8Bit(std::strerror(error));
    }
    if (st.st_dev != m_dev || st.st_ino != m_ino)
        return QStringLiteral("another file has taken its place");
    return {};
}

// Each statement first looks that the file at the path is still the one opened (one stat): a
// file removed or replaced under the running program would otherwise go on taking saves that
// nobody will ever read again.
void SqlCipherEngine::checkStillThere() const
{
    const QString gone = whatBecameOfTheFile();
    if (!gone.isEmpty())
        throw ConnectionLost::File(m_path, gone);
}

// While the program runs, changes go to a write-ahead log: a save survives the program being
// killed at any moment, and other programs keep reading while one saves. A file that cannot
// take the log (a full disk) keeps its rollback journal.
void SqlCipherEngine::useWriteAheadLog()
{
    if (pragma(m_db, "PRAGMA journal_mode=WAL").compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return;
    // The first read lays out the log's index; done now, a disk that fills up later still lets
    // the program read.
    sqlite3_exec(m_db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}

void SqlCipherEngine::ExecuteScript(const QString &script)
{
    finishRows();
    char *err = nullptr;
    if (sqlite3_exec(m_db, script.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString why = QString::fromUtf8(err ? err : "unknown failure");
        sqlite3_free(err);
        throw SqlError(why);
    }
}

void SqlCipherEngine::BeginWrite()
{
    checkStillThere();
    finishRows();
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

void SqlCipherEngine::Commit()
{
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        try {
            fail(rc);
        } catch (...) {
            Rollback();
            throw;
        }
    }
}

void SqlCipherEngine::Rollback() noexcept
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqlCipherEngine::SetBusyTimeout(int milliseconds)
{
    m_busyTimeout = milliseconds;
    if (m_db)
        sqlite3_busy_timeout(m_db, milliseconds);
}

void SqlCipherEngine::clearCache()
{
    for (const Cached &c : std::as_const(m_cache))
        sqlite3_finalize(c.stmt);
    m_cache.clear();
}

namespace {

// The first character at or after p that is neither blank nor part of a comment.
const char *skipBlanksAndComments(const char *p, const char *end)
{
    while (p < end) {
        if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v') {
            ++p;
        } else if (p + 1 < end && p[0] == '-' && p[1] == '-') {
            while (p < end && *p != '\n')
                ++p;
        } else if (p + 1 < end && p[0] == '/' && p[1] == '*') {
            const char *close = p + 2;
            while (close + 1 < end && !(close[0] == '*' && close[1] == '/'))
                ++close;
            p = close + 1 < end ? close + 2 : end;
        } else {
            break;
        }
    }
    return p;
}

}  // namespace

SqlCipherEngine::Cached &SqlCipherEngine::statementFor(const QString &text)
{
    const auto found = m_cache.find(text);
    if (found != m_cache.end())
        return *found;
    const QByteArray utf8 = text.toUtf8();
    const char *begin = utf8.constData();
    const char *end = begin + utf8.size();
    // One statement at a time: a text that starts with an empty statement, or holds anything
    // but blanks, comments and semicolons after its first statement, is refused, never run.
    // The engine would otherwise take ";" first as part of the statement that follows.
    const char *first = skipBlanksAndComments(begin, end);
    if (first < end && *first == ';')
        throw SqlError(QStringLiteral("Characters found before the SQL statement: it starts with an empty statement."));
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, begin, int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    if (!stmt)
        throw SqlError(QStringLiteral("The statement is empty."));
    for (const char *p = skipBlanksAndComments(tail, end); p < end; p = skipBlanksAndComments(p + 1, end)) {
        if (*p != ';') {
            sqlite3_finalize(stmt);
            throw SqlError(QStringLiteral("Characters found after end of SQL statement."));
        }
    }
    if (m_cache.size() >= kMaxCachedStatements)
        clearCache();
    return *m_cache.insert(text, Cached{stmt, 0});
}

// A new result of the statement's columns, with no row yet.
std::shared_ptr<Recordset> SqlCipherEngine::emptyResult(sqlite3_stmt *stmt)
{
    const int cols = sqlite3_column_count(stmt);
    std::shared_ptr<Recordset> rs(new Recordset());
    rs->m_closed = cols == 0;
    rs->m_dateColumn.assign(size_t(cols), false);
    for (int c = 0; c < cols; ++c) {
        rs->m_names << QString::fromUtf8(sqlite3_column_name(stmt, c));
        rs->m_dateColumn[size_t(c)] = isDateType(sqlite3_column_decltype(stmt, c));
    }
    return rs;
}

// Steps the statement into the result, at most maxRows rows; answers the last step's code
// (SQLITE_ROW when it stopped at maxRows).
int SqlCipherEngine::stepInto(sqlite3_stmt *stmt, Recordset &result, int maxRows)
{
    Recordset *rs = &result;
    const int cols = rs->FieldCount();
    int rc = SQLITE_ROW;
    for (int taken = 0; taken < maxRows && (rc = sqlite3_step(stmt)) == SQLITE_ROW; ++taken) {
        const size_t at = rs->m_cells.size();
        rs->m_cells.resize(at + size_t(cols));
        Recordset::Cell *cell = rs->m_cells.data() + at;
        for (int c = 0; c < cols; ++c, ++cell) {
            cell->length = 0;
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                cell->type = Recordset::Cell::Integer;
                cell->integer = sqlite3_column_int64(stmt, c);
                break;
            case SQLITE_FLOAT:
                cell->type = Recordset::Cell::Double;
                cell->real = sqlite3_column_double(stmt, c);
                break;
            case SQLITE_NULL:
                cell->type = Recordset::Cell::Null;
                cell->integer = 0;
                break;
            default: {
                const char *t = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
                const int len = sqlite3_column_bytes(stmt, c);
                cell->type = Recordset::Cell::Text;
                cell->offset = std::uint64_t(rs->m_text.size());
                cell->length = std::uint32_t(len);
                rs->m_text.append(t, size_t(len));
            }
            }
        }
        ++rs->m_rows;
    }
    return rc;
}

std::shared_ptr<Recordset> SqlCipherEngine::Execute(const QString &statement)
{
    checkStillThere();
    Cached &cached = statementFor(RewriteDialect(statement));
    sqlite3_stmt *stmt = cached.stmt;
    std::shared_ptr<Recordset> rs = emptyResult(stmt);
    const int cols = rs->FieldCount();
    if (cols > 0) {
        rs->m_cells.reserve(size_t(cached.lastRows) * size_t(cols));
        rs->m_text.reserve(size_t(cached.lastTextBytes));
    }
    int rc = stepInto(stmt, *rs, INT_MAX);
    // A write refused because open cursors still read an older state of the file (another
    // program wrote since) runs again once they are stepped to their end.
    if (isBusy(rc) && !m_openRows.empty() && !sqlite3_stmt_readonly(stmt)) {
        sqlite3_reset(stmt);
        finishRows();
        rs = emptyResult(stmt);
        rc = stepInto(stmt, *rs, INT_MAX);
    }
    if (rc != SQLITE_DONE) {
        try {
            fail(rc);
        } catch (...) {
            sqlite3_reset(stmt);
            throw;
        }
    }
    sqlite3_reset(stmt);
    if (cols > 0) {
        cached.lastRows = rs->m_rows;
        cached.lastTextBytes = int(rs->m_text.size());
        // A result much smaller than the last one does not keep the room reserved for that one.
        if (rs->m_cells.capacity() > 2 * rs->m_cells.size() + 1024)
            rs->m_cells.shrink_to_fit();
    }
    return rs;
}

// ---- Rows stepped as they are read ----

// A statement of its own (never the cached one, which another statement may run meanwhile),
// stepped a number of rows at a time. When the connection must write, the rows left are stepped
// at once and kept, and the statement ends.
class SqliteRows : public IRowCursor {
public:
    SqliteRows(SqlCipherEngine &engine, sqlite3_stmt *stmt) : m_engine(&engine), m_stmt(stmt)
    {
        m_rest = SqlCipherEngine::emptyResult(stmt);
    }
    ~SqliteRows() override { end(); }

    std::shared_ptr<Recordset> Next(int n) override
    {
        std::shared_ptr<Recordset> rows = SqlCipherEngine::sameColumns(*m_rest);
        if (m_rest->m_rows > 0) {
            std::swap(rows, m_rest);
            return rows;
        }
        if (!m_stmt)
            return rows;
        // A chunk is sized at once: tens of thousands of rows held in chunks waste no room.
        rows->m_cells.reserve(size_t(std::clamp(n, 1, 1 << 16)) * size_t(rows->FieldCount()));
        const int rc = SqlCipherEngine::stepInto(m_stmt, *rows, std::max(n, 1));
        if (rc != SQLITE_ROW)
            finish(rc);
        return rows;
    }

    // Steps every row left into the kept rows, and ends the statement.
    void stepRest()
    {
        if (m_stmt)
            finish(SqlCipherEngine::stepInto(m_stmt, *m_rest, INT_MAX));
    }

    // Ends the statement; rows not stepped yet are not read.
    void end()
    {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        if (m_engine) {
            auto &open = m_engine->m_openRows;
            open.erase(std::remove(open.begin(), open.end(), this), open.end());
        }
        m_engine = nullptr;
    }

private:
    void finish(int rc)
    {
        SqlCipherEngine *engine = m_engine;
        end();
        if (rc != SQLITE_DONE && engine)
            engine->fail(rc);
    }

    SqlCipherEngine *m_engine;
    sqlite3_stmt *m_stmt;
    std::shared_ptr<Recordset> m_rest;
};

// A result of the same columns as another, with no row.
std::shared_ptr<Recordset> SqlCipherEngine::sameColumns(const Recordset &like)
{
    std::shared_ptr<Recordset> rs(new Recordset());
    rs->m_closed = like.m_closed;
    rs->m_names = like.m_names;
    rs->m_dateColumn = like.m_dateColumn;
    return rs;
}

std::unique_ptr<IRowCursor> SqlCipherEngine::OpenRows(const QString &statement)
{
    checkStillThere();
    const QByteArray utf8 = RewriteDialect(statement).toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    if (!stmt)
        throw SqlError(QStringLiteral("The statement is empty."));
    const char *end = utf8.constData() + utf8.size();
    if (!sqlite3_stmt_readonly(stmt) || skipBlanksAndComments(tail, end) != end) {
        sqlite3_finalize(stmt);
        throw SqlError(QStringLiteral("Only one query can be read row by row."));
    }
    auto rows = std::make_unique<SqliteRows>(*this, stmt);
    m_openRows.push_back(rows.get());
    return rows;
}

void SqlCipherEngine::finishRows()
{
    // Stepping may fail (the file went away); the cursor then ends and its reader sees no more.
    for (SqliteRows *rows : std::vector<SqliteRows *>(m_openRows)) {
        try {
            rows->stepRest();
        } catch (const SqlError &) {
        }
    }
}

void SqlCipherEngine::endRows()
{
    while (!m_openRows.empty())
        m_openRows.back()->end();
}
