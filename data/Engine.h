#pragma once
// The database engine behind CTemplate: the connection that runs statement texts
// as the windows compose them, and the forward-only cursor that a query hands back.
#include "data/Failure.h"
#include "data/Variant.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

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
    friend class SqlCipherEngine;
    friend class SqliteRows;
    friend class PgEngine;
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

// The rows of one statement that runs once and is stepped as its reader needs them.
class IRowCursor {
public:
    virtual ~IRowCursor() = default;
    // The next rows: at most n (or all that are left, when a write of the connection made it step
    // them at once), fewer only at the end (none once every row was given; nothing once the
    // connection is gone). The result stands on its first row and knows the statement's
    // columns even when it holds no row. A failure ends the cursor and is thrown.
    virtual std::shared_ptr<Recordset> Next(int n) = 0;
};

// One database engine under the data layer: the encrypted file, or a database server. The data
// layer never asks which one runs; each carries its own dialect (date literals, names compared in
// any letter case, value types) and keeps its own prepared statements.
class IEngine {
public:
    virtual ~IEngine() = default;
    // Runs one statement as the windows composed it and answers its rows.
    virtual std::shared_ptr<Recordset> Execute(const QString &statement) = 0;
    // Runs a script of several statements (used to lay out a new database).
    virtual void ExecuteScript(const QString &script) = 0;
    // Runs one query as the windows composed it, its rows to be stepped through the cursor.
    // What reading them holds (a lock, a snapshot) never keeps another statement of this
    // connection, or another program, from writing.
    virtual std::unique_ptr<IRowCursor> OpenRows(const QString &statement) = 0;
    virtual void BeginWrite() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() noexcept = 0;
    virtual void SetBusyTimeout(int milliseconds) = 0;
    // Why changes cannot be saved, said for the user; empty when they can.
    virtual QString CannotSave() const = 0;
    // Which database is in use, said for the user (a file's path, a server's host and database).
    virtual QString Where() const = 0;
};

// The one connection of the process, on whichever engine start-up chose.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Opens the encrypted file named after "dbq=" in the connection text, keyed with the password.
    // A missing file, a wrong password or a file that is no database (or is damaged) is a
    // failure. A file that can be read but not written opens for reading: see CannotSave.
    void Open(const QString &connectionText, const QString &userName, const QString &password);
    // Takes an engine that is already open (a database server).
    void Use(std::unique_ptr<IEngine> engine);
    bool IsOpen() const { return m_engine != nullptr; }
    // Why changes cannot be saved on the open database, said for the user; empty when they can.
    const QString &CannotSave() const { return m_cannotSave; }
    // The engine in use, for the few steps that differ on a server (logins, adding users).
    IEngine *Engine() const { return m_engine.get(); }
    // Which database is in use, said for the user; empty when none is open.
    QString Where() const { return m_engine ? m_engine->Where() : QString(); }
    // Runs one statement and answers its rows.
    std::shared_ptr<Recordset> Execute(const QString &statement);
    // Runs one query, its rows to be stepped as they are needed (see IEngine::OpenRows).
    std::unique_ptr<IRowCursor> OpenRows(const QString &statement);
    void Close();

    // Makes a new, empty, encrypted database file (the file must not exist) and answers the
    // connection to it.
    static std::unique_ptr<Connection> CreateFile(const QString &path, const QString &password);
    // Runs a script of several statements (used to lay out a new database).
    void ExecuteScript(const QString &script);

    // A write transaction that holds the database's write lock from its start, so that what it
    // reads (the largest key) is still true when it writes. Another program's transaction is
    // waited for up to the busy timeout; then DatabaseBusy is thrown and nothing has begun.
    void BeginWrite();
    void Commit();
    void Rollback() noexcept;
    // How long a statement waits for another program's write to end (3 seconds unless set).
    void SetBusyTimeout(int milliseconds);

private:
    IEngine &engine();

    std::unique_ptr<IEngine> m_engine;
    QString m_cannotSave;
    int m_busyTimeout = 3000;
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
