#pragma once
// Backups of the database file: encrypted copies in the folder backups/ beside it, made by the
// engine's online backup so that a copy is whole while other programs save, kept for a while and
// pruned by age; and the restore of one of them in place of the file.
//
// Every program that opens the file holds a shared lock on a lock file beside it (qmk.dat.lock)
// while it has it open. A restore takes that lock exclusively, without waiting: it replaces the
// file only when no other program has it open.
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class Connection;
struct sqlite3;

// The clock that names backups and ages them (the system's local time unless a test sets one);
// answers the clock before. An empty one restores the system's.
using BackupClock = std::function<QDateTime()>;
BackupClock SetBackupClock(BackupClock clock);

// The folder of the backups of the database file at path.
QString BackupFolderOf(const QString &databasePath);

// One backup as the restore window lists it.
struct BackupInfo {
    QString path;
    QDateTime made;      // from its name
    qint64 size = 0;     // bytes
    int projects = -1;   // -1 when it was not read, or could not be
    int entries = -1;
    QString problem;     // why it could not be read, said for the user; empty when it was
};
// The backups of the database file at path, newest first; with readContents, each is opened with
// the database password, read only, and its projects and entries counted.
QList<BackupInfo> ListBackups(const QString &databasePath, bool readContents);
// Opens one backup read only and counts what it holds (or says why it cannot be read).
BackupInfo ReadBackup(const QString &backupPath);

// Makes a backup of the database open on the connection (the file engine only), prunes the old
// ones and answers the new one's path. Throws SqlError with the reason when none could be made.
QString MakeBackup(Connection &connection);
// The backup at the first login of a day: made unless the folder already holds one of today.
// Answers why it could not be made, said for the user ("No backup of the database could be made:
// ..."); empty when one was made, was not needed, or the connection is not to a file.
QString BackupIfNoneToday(Connection &connection);
// The backup when the program closes: made when the connection saved something since it opened
// (or since its last backup). Answers as BackupIfNoneToday.
QString BackupIfSaved(Connection &connection);
// What the last backup of this run said (empty when it went well or none was tried).
QString LastBackupProblem();

// Removes the backups beside the database file that are too old to keep: every backup of the
// last 14 days stays, and the newest backup of each of the last 12 calendar months (this one
// included); nothing but backups is ever removed.
void PruneBackups(const QString &databasePath);

// Replaces the database file at databasePath with the backup, after making a backup of the
// file as it is. open, when given, is this program's connection to that file: it is closed for
// the restore and opened again after it, whatever the outcome.
enum class RestoreOutcome { Restored, InUse, Failed };
struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::Failed;
    QString message;        // said for the user
    QString currentBackup;  // the backup of the file as it was, once made
};
RestoreResult RestoreBackup(const QString &backupPath, const QString &databasePath, Connection *open);

// The shared lock a program holds on its database file while it has it open (the engine takes it
// when it opens the file): answers the lock's descriptor, or -1 when the lock file cannot be made
// or opened (a folder that cannot be written), in which case the file is used without it. Waits up
// to waitMs while a restore holds it; then throws SqlError.
int HoldDatabaseShared(const QString &databasePath, int waitMs);
void ReleaseDatabaseLock(int fd);
