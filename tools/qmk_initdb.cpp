// qmk-initdb FILE [--demo | --large | --huge]: makes a new Quillmark database file.
// qmk-initdb --copy FROM TO: copies a database file, its write-ahead log folded in, into a new file.
// qmk-initdb --restore BACKUP FILE: replaces a database file with one of its backups.
// qmk-initdb --server CONNINFO [--demo | --large | --huge] [--sysop-password-file FILE]
//            [--user-password-file FILE]: lays Quillmark out in an empty server database.
// qmk-initdb --server CONNINFO --upgrade: brings a server database of an earlier version up to date.
#include "data/Backups.h"
#include "data/Engine.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "data/ServerDatabase.h"
#include "tools/Terminal.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <sqlcipher/sqlite3.h>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: qmk-initdb FILE [--demo | --large | --huge]\n"
                 "       qmk-initdb --copy FROM TO\n"
                 "       qmk-initdb --restore BACKUP FILE\n"
                 "       qmk-initdb --server CONNINFO [--demo | --large | --huge] [--sysop-password-file FILE]\n"
                 "                  [--user-password-file FILE]\n"
                 "       qmk-initdb --server CONNINFO --upgrade\n"
                 "Makes a new, encrypted Quillmark database file (an existing file is never touched), or lays\n"
                 "Quillmark out in an empty database of a PostgreSQL server, connected as its superuser, or\n"
                 "brings such a database of an earlier version of Quillmark up to date (--upgrade).\n"
                 "A database file of an earlier version is brought up to date when the program opens it.\n"
                 "--restore puts a backup (from the folder backups/ beside FILE) in place of FILE, after making\n"
                 "a backup of FILE as it is; it refuses while another program has FILE open.\n");
    return 2;
}

// The sample a new database holds, said after where it was made.
const char *sampleSaid(Sample sample)
{
    switch (sample) {
    case Sample::Demo: return " with the demo user \"demo\"";
    case Sample::Large: return " with the user \"large\" and 32,767 projects";
    case Sample::Huge: return " with the user \"huge\", 100,000 projects and 1,000,000 entries";
    case Sample::None: break;
    }
    return "";
}

// A value that follows an option, taken out of the arguments; empty when the option is absent.
bool takeOption(QStringList &args, const QString &name, QString *value)
{
    const int at = args.indexOf(name);
    if (at < 0)
        return true;
    if (at + 1 >= args.size())
        return false;
    *value = args[at + 1];
    args.remove(at, 2);
    return true;
}

// A password from its file (the first line), or asked twice on the terminal.
bool passwordFor(const QString &who, const QString &file, QString *password)
{
    if (!file.isEmpty()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "qmk-initdb: cannot read %s: %s\n", qPrintable(file), qPrintable(f.errorString()));
            return false;
        }
        *password = QString::fromUtf8(f.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    } else {
        const QByteArray prompt = QStringLiteral("Password for %1: ").arg(who).toUtf8();
        *password = ReadLineHidden(prompt.constData());
        if (ReadLineHidden("Again: ") != *password) {
            std::fprintf(stderr, "qmk-initdb: the two passwords differ; nothing was made.\n");
            return false;
        }
    }
    if (password->trimmed().isEmpty()) {
        std::fprintf(stderr, "qmk-initdb: the password of %s is empty; nothing was made.\n", qPrintable(who));
        return false;
    }
    return true;
}

int makeServerDatabase(const QString &conninfo, Sample sample, const QString &sysopFile, const QString &userFile)
{
    QString sysopPassword, userPassword;
    if (!passwordFor(QStringLiteral("sysop"), sysopFile, &sysopPassword))
        return 1;
    const QString user = SampleUser(sample);
    if (sample != Sample::None && !passwordFor(user, userFile, &userPassword))
        return 1;
    QString where;
    try {
        where = CreateServerDatabase(conninfo, QString(), QString(), sysopPassword, sample, userPassword);
    } catch (const SqlError &e) {
        std::fprintf(stderr, "qmk-initdb: could not lay out the database: %s\n", qPrintable(e.description()));
        return 1;
    }
    // Where, and whether the passwords travelled encrypted.
    std::printf("qmk-initdb: laid out Quillmark in %s%s%s\n", qPrintable(where), sample == Sample::None ? "" : ",",
                sampleSaid(sample));
    return 0;
}

// The bytes of a regular file, read without following a link or waiting on a pipe; *st is what
// the file was when opened. Answers false when there is no such file (errno tells why).
bool readPlain(const QString &path, QByteArray *bytes, struct stat *st)
{
    bytes->clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, st) == 0 && S_ISREG(st->st_mode);
    char buffer[65536];
    for (ssize_t n = 1; ok && n > 0;) {
        n = ::read(fd, buffer, sizeof buffer);
        ok = n >= 0;
        if (n > 0)
            bytes->append(buffer, n);
    }
    ::close(fd);
    if (!ok && errno == 0)
        errno = EINVAL;
    return ok;
}

bool writeNew(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::NewOnly | QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// Copies the database FROM, with the logs the engine keeps beside it, into the new file TO, where
// the engine folds them in. FROM is only read, never opened by the engine, so nothing in it or
// beside it is written or deleted, whatever is there; the files are read again until they stay
// the same from start to end, so that a program saving meanwhile does not tear the copy. Answers
// 0 when copied, 3 when FROM holds no Quillmark database (the key does not fit, or it holds no
// tables), 1 on any other failure; nothing is left at TO then.
int copyDatabase(const QString &from, const QString &to)
{
    const char *const sides[] = {"-wal", "-journal"};
    QString why;
    int status = 1;
    for (int attempt = 0; attempt < 50 && status == 1 && why.isEmpty(); ++attempt) {
        struct stat before[3] {}, after[3] {};
        QByteArray bytes[3];
        bool same = true;
        for (int i = 0; i < 3 && why.isEmpty(); ++i) {
            const QString path = i ? from + QLatin1String(sides[i - 1]) : from;
            if (!readPlain(path, &bytes[i], &before[i]) && (i == 0 || errno != ENOENT))
                why = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        for (int i = 0; i < 3 && why.isEmpty(); ++i) {
            const QString path = i ? from + QLatin1String(sides[i - 1]) : from;
            if (::lstat(QFile::encodeName(path).constData(), &after[i]) != 0)
                after[i] = {};
            same = same && after[i].st_ino == before[i].st_ino && after[i].st_size == before[i].st_size &&
                   after[i].st_mtim.tv_sec == before[i].st_mtim.tv_sec && after[i].st_mtim.tv_nsec == before[i].st_mtim.tv_nsec;
        }
        if (!why.isEmpty())
            break;
        if (!same) {
            ::usleep(100000);
            continue;
        }
        if (bytes[0].isEmpty()) {
            status = 3;
            break;
        }
        for (int i = 0; i < 3 && why.isEmpty(); ++i) {
            const QString path = i ? to + QLatin1String(sides[i - 1]) : to;
            if (i && !before[i].st_ino)
                continue;
            if (!writeNew(path, bytes[i]))
                why = QStringLiteral("%1 cannot be written").arg(path);
        }
        if (why.isEmpty())
            status = 0;
    }
    if (status == 0) {
        sqlite3 *db = nullptr;
        sqlite3_stmt *count = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(to).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_key(db, kDatabasePassword, int(std::strlen(kDatabasePassword)));
            rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &count, nullptr);
        }
        if (rc == SQLITE_OK)
            rc = sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int(count, 0) > 0 ? SQLITE_OK : SQLITE_NOTADB;
        sqlite3_finalize(count);
        // The copy is one file: its logs are folded in and removed.
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
        status = rc == SQLITE_OK ? 0 : (rc & 0xff) == SQLITE_NOTADB ? 3 : 1;
        if (status == 1)
            why = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
    } else if (why.isEmpty() && status == 1) {
        why = QStringLiteral("it kept changing while it was read");
    }
    if (status == 0 && !QFileInfo::exists(to + QStringLiteral("-wal"))) {
        std::printf("qmk-initdb: copied %s to %s\n", qPrintable(from), qPrintable(to));
        return 0;
    }
    for (const QString &made : {to, to + QStringLiteral("-wal"), to + QStringLiteral("-journal"), to + QStringLiteral("-shm")})
        QFile::remove(made);
    if (status == 3)
        why = QStringLiteral("it holds no Quillmark database");
    std::fprintf(stderr, "qmk-initdb: could not copy %s: %s\n", qPrintable(from), qPrintable(why));
    return status == 0 ? 1 : status;
}

// Puts a backup in place of the database file, as the restore window does.
int restoreDatabase(const QString &backup, const QString &file)
{
    const RestoreResult result = RestoreBackup(backup, file, nullptr);
    if (result.outcome != RestoreOutcome::Restored) {
        std::fprintf(stderr, "qmk-initdb: %s\n", qPrintable(result.message));
        return 1;
    }
    std::printf("qmk-initdb: %s\n", qPrintable(result.message));
    if (!result.currentBackup.isEmpty())
        std::printf("qmk-initdb: the database as it was is kept in %s\n", qPrintable(result.currentBackup));
    return 0;
}

int upgradeServerDatabase(const QString &conninfo)
{
    try {
        const int from = UpgradeServerDatabase(conninfo, QString(), QString());
        if (from == kServerSchemaVersion)
            std::printf("qmk-initdb: the server database is up to date already (version %d)\n", from);
        else
            std::printf("qmk-initdb: brought the server database from version %d to version %d\n", from,
                        kServerSchemaVersion);
    } catch (const SqlError &e) {
        std::fprintf(stderr, "qmk-initdb: could not upgrade the database: %s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--copy"))
        return copyDatabase(args[1], args[2]);
    if (args.size() == 3 && args[0] == QLatin1String("--restore"))
        return restoreDatabase(args[1], args[2]);
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    const bool large = args.removeAll(QStringLiteral("--large")) > 0;
    const bool huge = args.removeAll(QStringLiteral("--huge")) > 0;
    const bool upgrade = args.removeAll(QStringLiteral("--upgrade")) > 0;
    QString server, sysopFile, userFile;
    if (!takeOption(args, QStringLiteral("--server"), &server) ||
        !takeOption(args, QStringLiteral("--sysop-password-file"), &sysopFile) ||
        !takeOption(args, QStringLiteral("--user-password-file"), &userFile) || (int(demo) + int(large) + int(huge) > 1))
        return usage();
    const Sample sample = huge ? Sample::Huge : large ? Sample::Large : demo ? Sample::Demo : Sample::None;
    if (upgrade) {
        if (server.isEmpty() || !args.isEmpty() || demo || large || huge || !sysopFile.isEmpty() || !userFile.isEmpty())
            return usage();
        return upgradeServerDatabase(server);
    }
    if (!server.isEmpty()) {
        if (!args.isEmpty())
            return usage();
        return makeServerDatabase(server, sample, sysopFile, userFile);
    }
    if (args.size() != 1 || args[0].startsWith(QLatin1String("-")) || !sysopFile.isEmpty() || !userFile.isEmpty())
        return usage();
    const QString path = args[0];
    if (QFileInfo::exists(path)) {
        std::fprintf(stderr, "qmk-initdb: %s already exists; it was left as it is.\n", qPrintable(path));
        return 1;
    }
    try {
        CreateDatabaseFile(path, sample);
    } catch (const SqlError &e) {
        std::fprintf(stderr, "qmk-initdb: could not make %s: %s\n", qPrintable(path), qPrintable(e.description()));
        return 1;
    }
    std::printf("qmk-initdb: made %s%s\n", qPrintable(path), sampleSaid(sample));
    return 0;
}
