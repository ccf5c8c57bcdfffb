#pragma once
// The database engine behind CTemplate: an SQLCipher connection that runs statement texts
// as the windows compose them, and the forward-only cursor that a query hands back.
#include "data/Failure.h"
#include "data/Variant.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The rows of one statement, read forward from the first. A statement that returns no rows
// (INSERT, UPDATE, DELETE) leaves a closed cursor that cannot be read.
class Recordset {
public:
    bool IsClosed() const { return m_closed; }
    // True once the cursor stands past the last row, and at once for an empty result.
    bool Eof() const;
    // A column of the current row by its 0-based position in the select list.
    Variant Fields(int position) const;
    // A column of the current row by name, in any letter case.
    Variant Fields(const QString &name) const;
    void MoveNext();
    void MoveFirst();

    int FieldCount() const { return m_names.size(); }
    // How many rows the result holds, and the row the cursor stands on (0 = the first).
    int RecordCount() const { return m_rows; }
    int Position() const { return m_pos; }
    // A column of any row by position, wherever the cursor stands; throws as Fields does.
    Variant FieldAt(int row, int position) const;
    // The position of a column by name, in any letter case; -1 when there is none. Lets a loop
    // over many rows find its columns once.
    int FieldIndex(const QString &name) const;
    QString FieldName(int position) const { return m_names.value(position); }

private:
    friend class Connection;
    Recordset() = default;
    void checkReadable() const;

    // One cell as the engine gave it: a number, or the place of its UTF-8 text in m_text. Texts
    // become QStrings (and dates) only when a field is read, so the columns a caller never
    // reads cost no conversion, and a result of tens of thousands of rows stays small.
    struct Cell {
        enum : std::uint8_t { Null, Integer, Double, Text } type;
        std::uint32_t length;
        union {
            std::int64_t integer;
            double real;
            std::uint64_t offset;
        };
    };

    bool m_closed = true;
    QStringList m_names;
    std::vector<bool> m_dateColumn;
    std::vector<Cell> m_cells;  // row after row
    std::string m_text;
    int m_rows = 0;
    int m_pos = 0;
};

// The one SQLCipher connection of the process.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the file named after "dbq=" in the connection text, keyed with the password.
    // A missing file, a wrong password or a file that is no database (or is damaged) is a
    // failure. A file that can be read but not written opens for reading: see CannotSave.
    void Open(const QString &connectionText, const QString &userName, const QString &password);
    bool IsOpen() const { return m_db != nullptr; }
    // Why changes cannot be saved on the open file, said for the user; empty when they can.
    const QString &CannotSave() const { return m_cannotSave; }
    // Runs one statement and answers its rows.
    std::shared_ptr<Recordset> Execute(const QString &statement);
    void Close();

    // Makes a new, empty, encrypted database file (the file must not exist) and answers the
    // connection to it.
    static std::unique_ptr<Connection> CreateFile(const QString &path, const QString &password);
    // Runs a script of several statements (used to lay out a new file).
    void ExecuteScript(const QString &script);

    // A write transaction that holds the file's write lock from its start, so that what it reads
    // (the largest key) is still true when it writes. Another program's transaction is waited for
    // up to the busy timeout; then DatabaseBusy is thrown and nothing has begun.
    void BeginWrite();
    void Commit();
    void Rollback() noexcept;
    // How long a statement waits for another program's write to end (3 seconds unless set).
    void SetBusyTimeout(int milliseconds);

private:
    void openFile(const QString &path, const QString &password, bool create);
    void refuseForeignSchema(const QString &path);
    [[noreturn]] void fail(int rc);
    bool sortNamesAgain(const QString &path);
    void useWriteAheadLog();

    sqlite3 *m_db = nullptr;
    QString m_path;  // the file as opened, every link in its path resolved
    int m_busyTimeout = 3000;
    bool m_readOnly = false;
    QString m_cannotSave;
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
};

// Holds the write lock from construction; rolls back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(Connection &c) : m_c(c) { m_c.BeginWrite(); }
    ~WriteTransaction()
    {
        if (!m_done)
            m_c.Rollback();
    }
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;
    void Commit()
    {
        m_c.Commit();
        m_done = true;
    }

private:
    Connection &m_c;
    bool m_done = false;
};

// The path after "dbq=" in a connection text: the whole rest when a file has that name, else
// up to the next "; name=value" attribute.
QString DatabasePathOf(const QString &connectionText);

// Rewrites the parts of a statement that the engine cannot read: a #D/M/YYYY# date literal
// outside quoted text becomes 'YYYY-MM-DD'. An impossible date is a failure.
QString RewriteDialect(const QString &statement);

// Every statement text exactly as the program composed it, for tests. Off unless enabled.
namespace StatementLog {
void SetEnabled(bool on);
bool Enabled();
const QStringList &Entries();
void Clear();
void Add(const QString &statement);
}  // namespace StatementLog
