#pragma once
// The encrypted database file: an SQLCipher connection that runs statement texts as the windows
// compose them, with a cache of prepared statements.
#include "data/Engine.h"

#include <QHash>
#include <QString>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;
class SqliteRows;

class SqlCipherEngine : public IEngine {
public:
    // Opens the file at path keyed with the password, or makes it (create: the file must not
    // exist). Throws SqlError.
    SqlCipherEngine(const QString &path, const QString &password, bool create, int busyTimeout);
    ~SqlCipherEngine() override;
    SqlCipherEngine(const SqlCipherEngine &) = delete;
    SqlCipherEngine &operator=(const SqlCipherEngine &) = delete;

    std::shared_ptr<Recordset> Execute(const QString &statement) override;
    void ExecuteScript(const QString &script) override;
    std::unique_ptr<IRowCursor> OpenRows(const QString &statement) override;
    void BeginWrite() override;
    void Commit() override;
    void Rollback() noexcept override;
    void SetBusyTimeout(int milliseconds) override;
    QString CannotSave() const override { return m_cannotSave; }
    QString Where() const override { return m_path; }

    // The engine's own handle, for the online backup of the file (data/Backups).
    sqlite3 *Handle() const { return m_db; }
    // How many transactions that wrote were committed since the file was opened (or since
    // ForgetSaves): a program that saved nothing needs no backup when it closes.
    long long SavesSinceOpen() const { return m_saves; }
    void ForgetSaves() { m_saves = 0; }

private:
    friend class SqliteRows;
    void openFile(const QString &path, const QString &password, bool create);
    void Close();
    void refuseForeignSchema(const QString &path);
    void forgetDeletedImports();
    void refuseLaterVersion(const QString &path);
    void upgradeSchema(const QString &path);
    [[noreturn]] void fail(int rc);
    // What became of the file opened, said for the user: empty while the path still leads to it.
    QString whatBecameOfTheFile() const;
    void checkStillThere() const;
    bool sortNamesAgain(const QString &path);
    void useWriteAheadLog();

    sqlite3 *m_db = nullptr;
    QString m_path;  // the file as opened, every link in its path resolved
    // The file opened, to tell it from another put at its path.
    unsigned long long m_dev = 0, m_ino = 0;
    int m_busyTimeout = 3000;
    bool m_readOnly = false;
    QString m_cannotSave;
    int m_lockFd = -1;  // the shared lock held on the file while it is open (see data/Backups.h)
    long long m_saves = 0;
    // A prepared statement and how many rows it gave the last time it ran: the ledger and the
    // task list rerun the same statements, and sizing a result at once spares regrowing it.
    struct Cached {
        sqlite3_stmt *stmt = nullptr;
        int lastRows = 0;
        int lastTextBytes = 0;
    };
    Cached &statementFor(const QString &text);
    void clearCache();
    QHash<QString, Cached> m_cache;
    // The cursors being stepped. A write of this connection first steps them to their end (a
    // read left open would otherwise hold the file's snapshot and could keep the write from
    // starting); closing the file ends them.
    void finishRows();
    void endRows();
    static std::shared_ptr<Recordset> emptyResult(sqlite3_stmt *stmt);
    static std::shared_ptr<Recordset> sameColumns(const Recordset &like);
    static int stepInto(sqlite3_stmt *stmt, Recordset &result, int maxRows);
    std::vector<SqliteRows *> m_openRows;
};
