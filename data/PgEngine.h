#pragma once
// A PostgreSQL server: one libpq connection, logged in as the user's own role, that runs the
// statements the windows compose as they are; a text that repeats is prepared once and kept.
#include "data/Engine.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

struct pg_conn;

// The server refused the name and password (or the login is not one Quillmark may use).
class LoginRefused : public SqlError {
public:
    explicit LoginRefused(const QString &why) : SqlError(why) {}
};

class PgEngine : public IEngine {
public:
    // Logs in to the server that conninfo names (a libpq connection string or URI) as role with
    // password. Throws LoginRefused when the server refuses them (told by its error code, in any
    // language the server speaks) or the role is a superuser (the program never works as one),
    // SqlError with the server's reason when it cannot be reached.
    // Every connection, and every one made again after a loss, works in the session settings the
    // program reads and writes by (ISO dates, plain backslashes, UTF-8, the program's schema),
    // whatever the environment or the role's and database's defaults say.
    // asAdministrator admits any role: the database maker lays out a new database with it.
    // A server reached over the network is reached with sslmode=verify-full and
    // channel_binding=require unless the connection text sets them; Where() says whether the
    // connection is encrypted.
    PgEngine(const QString &conninfo, const QString &role, const QString &password, bool asAdministrator = false);
    ~PgEngine() override;
    PgEngine(const PgEngine &) = delete;
    PgEngine &operator=(const PgEngine &) = delete;

    std::shared_ptr<Recordset> Execute(const QString &statement) override;
    void ExecuteScript(const QString &script) override;
    std::unique_ptr<IRowCursor> OpenRows(const QString &statement) override;
    void BeginWrite() override;
    void Commit() override;
    void Rollback() noexcept override;
    void SetBusyTimeout(int milliseconds) override;
    QString CannotSave() const override { return {}; }
    QString Where() const override { return m_where; }

    // The password as the server keeps it (a SCRAM-SHA-256 verifier), made here, so that the
    // password itself never travels to the server when a user is added.
    QByteArray PasswordVerifier(const QString &role, const QString &password);
    // The password the connection logs in with again after a lost connection, once it has changed.
    void RememberPassword(const QString &password) { m_password = password; }
    // The role this connection is logged in as.
    QString Role() const { return m_role; }

private:
    void connect();
    void pinSessionSettings();
    void ensureConnected();
    [[noreturn]] void failWith(struct pg_result *result);
    struct pg_result *run(const QByteArray &sql);
    void command(const char *sql);
    QByteArray preparedName(const QString &text);
    bool seenBefore(const QString &text);
    void clearCache() { m_cache.clear(); }
    void forgetConnection();

    pg_conn *m_conn = nullptr;
    QString m_conninfo, m_role, m_password, m_where;
    bool m_admin = false;
    bool m_inTransaction = false;  // a BEGIN was run and neither COMMIT nor ROLLBACK since
    QString m_lostReason;          // why the connection was lost or could not be made, last
    std::optional<unsigned> m_lostIn;  // the action (ActionSerial) in which the connection was lost
    int m_busyTimeout = 3000;
    int m_nextName = 0;
    QHash<QString, QByteArray> m_cache;  // statement text -> name of its prepared statement
    // The hashes of the texts run lately, oldest first from m_seenNext once the ring is full: a
    // text is prepared only when it comes again.
    QSet<size_t> m_seen;
    std::vector<size_t> m_seenOrder;
    size_t m_seenNext = 0;
    // Rows stepped as they are read: the numbers of the cursors open on the server, and a token
    // that their readers hold to learn that the connection is gone.
    friend class PgRows;
    PgEngine &reader();
    std::vector<int> m_cursorsOpen;
    std::unique_ptr<PgEngine> m_reader;  // a second session of the role, for the cursors
    bool m_noReader = false;
    std::shared_ptr<char> m_alive = std::make_shared<char>(0);
};

// True when the connection text names a server reached over the network (a host name or
// address; without a host, PGHOST), false for a Unix socket of this computer.
bool ServerOverNetwork(const QString &conninfo);

// The server's key statement for "Select max(col) From table", which must see every user's keys
// and hold off other programs' allocations of that table until the transaction ends; empty for
// any other statement.
QString ServerKeyStatement(const QString &statement);
