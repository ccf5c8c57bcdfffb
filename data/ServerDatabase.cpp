#include "data/ServerDatabase.h"

#include "data/MyFun.h"
#include "data/PgEngine.h"
#include "data/ServerUpgrade.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// The tables as in the file, with the server's types. Names of users compare in any letter case
// in every alphabet (an ICU collation that ignores case); passwords are not kept here at all.
const char *const kServerSchema = R"SQL(
CREATE COLLATION qmk_nocase (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
CREATE TABLE tblUsers (
    Id integer PRIMARY KEY,
    UserId text COLLATE qmk_nocase UNIQUE,
    Passwd text
);
CREATE TABLE tblStatus (
    StatusID integer PRIMARY KEY,
    StatusName text
);
CREATE TABLE tblTasks (
    TaskID integer PRIMARY KEY,
    UserId text COLLATE qmk_nocase,
    StatusID integer,
    TaskName text,
    StartDate date,
    EndDate date,
    CostUpToNow double precision,
    CostPlanned double precision,
    Notes text
);
CREATE TABLE tblTransaction (
    Id integer PRIMARY KEY,
    UserId text COLLATE qmk_nocase,
    TransactionDate date,
    HeadId integer,
    AmountIn double precision,
    AmountOut double precision,
    Remarks text,
    TaskID integer
);
CREATE TABLE defHeads (
    Id integer PRIMARY KEY,
    Heads text,
    PlusMinus integer,
    UserId text COLLATE qmk_nocase
);
CREATE INDEX ixTasksByUser ON tblTasks (UserId, StartDate, CostUpToNow);
CREATE INDEX ixTransactionsByTask ON tblTransaction (TaskID, UserId, TransactionDate, Id, AmountIn, AmountOut);
CREATE INDEX ixTransactionsByHead ON tblTransaction (HeadId);
CREATE INDEX ixHeadsByUser ON defHeads (UserId);
-- Which Quillmark user each login role is, filled only when the user is added.
CREATE TABLE qmk_logins (
    rolname name PRIMARY KEY,
    UserId text COLLATE qmk_nocase NOT NULL UNIQUE
);
)SQL";

// Roles: qmk_owner owns the tables; every user's role is a member of qmk_users; qmk_keys sees
// every key and nothing else; qmk_useradmin may create roles, only through qmk_add_user. sysop
// has no right on the server beyond calling that function.
const char *const kServerRights = R"SQL(
CREATE FUNCTION qmk_me() RETURNS text LANGUAGE sql STABLE SECURITY DEFINER
    SET search_path = public, pg_temp
    AS $$ SELECT UserId::text FROM qmk_logins WHERE rolname = session_user $$;

CREATE FUNCTION qmk_largest_key(p_table text, p_column text) RETURNS bigint LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    largest bigint;
BEGIN
    IF p_table || '.' || p_column NOT IN ('tblusers.id', 'tbltasks.taskid', 'tbltransaction.id',
                                          'tbltransaction.taskid', 'defheads.id') THEN
        RAISE EXCEPTION 'No key is given from %.%', p_table, p_column;
    END IF;
    -- One allocator of a table at a time, until its transaction ends: the next one then reads
    -- the key this one wrote.
    IF p_column <> 'taskid' OR p_table = 'tbltasks' THEN
        PERFORM pg_advisory_xact_lock(hashtext('quillmark key ' || p_table));
    END IF;
    EXECUTE format('SELECT max(%I) FROM %I', p_column, p_table) INTO largest;
    RETURN largest;
END $$;

CREATE FUNCTION qmk_add_user(p_name text, p_role text, p_verifier text) RETURNS text LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    next_id bigint;
BEGIN
    IF p_name IS NULL OR p_role IS NULL OR p_verifier IS NULL OR btrim(p_name) = '' THEN
        RAISE EXCEPTION 'A user needs a name and a password.';
    END IF;
    IF octet_length(p_role) > 63 OR p_role IN ('public', 'none') OR p_role LIKE 'pg\_%' OR p_role LIKE 'qmk\_%' THEN
        RETURN 'reserved';
    END IF;
    IF NOT (p_role = p_name COLLATE qmk_nocase) THEN
        RAISE EXCEPTION 'The login of "%" must be its name in small letters.', p_name;
    END IF;
    IF p_verifier !~ '^SCRAM-SHA-256\$[0-9]+:[A-Za-z0-9+/=]+\$[A-Za-z0-9+/=]+:[A-Za-z0-9+/=]+$' THEN
        RAISE EXCEPTION 'The password must reach the server as a SCRAM-SHA-256 verifier.';
    END IF;
    PERFORM pg_advisory_xact_lock(hashtext('quillmark key tblusers'));
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = p_role)
       OR EXISTS (SELECT 1 FROM tblusers WHERE userid = p_name)
       OR EXISTS (SELECT 1 FROM qmk_logins WHERE userid = p_name) THEN
        RETURN 'exists';
    END IF;
    SELECT coalesce(max(id), 0) + 1 INTO next_id FROM tblusers;
    IF next_id > 32767 THEN
        RAISE EXCEPTION 'Overflow: tblUsers has no key left to give (the largest is 32767).';
    END IF;
    EXECUTE format('CREATE ROLE %I LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS '
                   'PASSWORD %L IN ROLE qmk_users', p_role, p_verifier);
    INSERT INTO qmk_logins (rolname, userid) VALUES (p_role, p_name);
    INSERT INTO tblusers (id, userid, passwd) VALUES (next_id, p_name, '');
    RETURN 'added';
EXCEPTION WHEN duplicate_object OR unique_violation THEN
    RETURN 'exists';
END $$;

REVOKE ALL ON FUNCTION qmk_me(), qmk_largest_key(text, text), qmk_add_user(text, text, text) FROM PUBLIC;
ALTER FUNCTION qmk_me() OWNER TO qmk_owner;
ALTER FUNCTION qmk_largest_key(text, text) OWNER TO qmk_keys;
ALTER FUNCTION qmk_add_user(text, text, text) OWNER TO qmk_useradmin;
GRANT EXECUTE ON FUNCTION qmk_me() TO qmk_users, qmk_useradmin;
GRANT EXECUTE ON FUNCTION qmk_largest_key(text, text) TO qmk_users;
GRANT EXECUTE ON FUNCTION qmk_add_user(text, text, text) TO sysop;

ALTER TABLE tblUsers OWNER TO qmk_owner;
ALTER TABLE tblStatus OWNER TO qmk_owner;
ALTER TABLE tblTasks OWNER TO qmk_owner;
ALTER TABLE tblTransaction OWNER TO qmk_owner;
ALTER TABLE defHeads OWNER TO qmk_owner;
ALTER TABLE qmk_logins OWNER TO qmk_owner;
ALTER COLLATION qmk_nocase OWNER TO qmk_owner;

GRANT SELECT ON tblStatus TO qmk_users;
GRANT SELECT ON tblUsers TO qmk_users;
GRANT SELECT, INSERT, UPDATE, DELETE ON tblTasks, tblTransaction, defHeads TO qmk_users;
GRANT SELECT ON tblUsers, tblTasks, tblTransaction, defHeads TO qmk_keys;
GRANT SELECT, INSERT ON tblUsers, qmk_logins TO qmk_useradmin;

-- Each user reads and writes only their own rows, whatever client they use; the owner too.
ALTER TABLE tblUsers ENABLE ROW LEVEL SECURITY;
ALTER TABLE tblUsers FORCE ROW LEVEL SECURITY;
CREATE POLICY own_row ON tblUsers FOR SELECT TO qmk_users USING (UserId = (SELECT qmk_me()));
CREATE POLICY every_key ON tblUsers FOR SELECT TO qmk_keys USING (true);
CREATE POLICY adding ON tblUsers FOR ALL TO qmk_useradmin USING (true) WITH CHECK (true);
ALTER TABLE qmk_logins ENABLE ROW LEVEL SECURITY;
CREATE POLICY adding ON qmk_logins FOR ALL TO qmk_useradmin USING (true) WITH CHECK (true);
)SQL";

const char *const kOwnRowsTables[] = {"tblTasks", "tblTransaction", "defHeads"};

const char *const kLargeServerData = R"SQL(
INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'large'), (2,'Supplies',1,'large');
INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,Notes)
SELECT i, 'large', 2 + i % 5, 'Project ' || i, DATE '2020-01-01' + i % 2500, NULL, 0, 1000 + i % 9000, ' '
FROM generate_series(1, 32767) AS i;
INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID)
SELECT i, 'large', DATE '2020-01-01' + i / 13, 1 + i % 2,
       CASE WHEN i % 2 = 0 THEN 100 + i % 700 ELSE 0 END, CASE WHEN i % 2 = 1 THEN 20.5 + i % 300 ELSE 0 END,
       'Entry ' || i, 1
FROM generate_series(1, 32766) AS i;
UPDATE tblTasks SET CostUpToNow = (SELECT round((sum(AmountIn) - sum(AmountOut))::numeric, 2) FROM tblTransaction
                                   WHERE TaskID = 1) WHERE TaskID = 1;
)SQL";

// The same team's database as the file's kHugeData.
const char *const kHugeServerData = R"SQL(
INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Sales',0,'huge'), (2,'Supplies',1,'huge');
INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,Notes)
SELECT i, 'huge', 2 + i % 5, 'Project ' || i, DATE '2020-01-01' + i % 2500, NULL, 0, 1000 + i % 9000, ' '
FROM generate_series(1, 100000) AS i;
INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID)
SELECT i, 'huge', DATE '2020-01-01' + CASE WHEN i <= 200000 THEN i / 80 ELSE i % 3000 END, 1 + i % 2,
       CASE WHEN i % 2 = 0 THEN 100 + i % 700 ELSE 0 END, CASE WHEN i % 2 = 1 THEN 20.5 + i % 300 ELSE 0 END,
       'Entry ' || i, CASE WHEN i <= 200000 THEN 1 ELSE 2 + (i - 200001) % 99999 END
FROM generate_series(1, 1000000) AS i;
UPDATE tblTasks SET CostUpToNow = (SELECT round((sum(AmountIn) - sum(AmountOut))::numeric, 2) FROM tblTransaction
                                   WHERE TaskID = 1) WHERE TaskID = 1;
)SQL";

QString literal(const QString &text) { return QuoteSql(text); }

}  // namespace

QString ServerRoleOf(const QString &userName)
{
    return userName == QLatin1String(kMasterUser) ? userName : userName.toLower();
}

QString ServerNameProblem(const QString &userName)
{
    const QString role = ServerRoleOf(userName);
    if (role.toUtf8().size() > 63)
        return QStringLiteral("The name is too long for the database server: at most 63 bytes.");
    // As the server's qmk_add_user refuses them, in any letter case.
    static const QStringList reserved{QStringLiteral("postgres"),     QStringLiteral("public"),
                                      QStringLiteral("none"),         QStringLiteral("current_user"),
                                      QStringLiteral("session_user"), QStringLiteral("current_role"),
                                      QString::fromLatin1(kMasterUser)};
    const QString lower = userName.toLower();
    if (reserved.contains(lower) || lower.startsWith(QLatin1String("pg_")) || lower.startsWith(QLatin1String("qmk_")))
        return QStringLiteral("The database server keeps the name \"%1\" for itself: choose another name.").arg(lower);
    return {};
}

AddUserOutcome AddServerUser(PgEngine &sysop, const QString &userName, const QString &password, QString *why)
{
    const QString problem = ServerNameProblem(userName);
    if (!problem.isEmpty()) {
        if (why)
            *why = problem;
        return AddUserOutcome::Refused;
    }
    const QString role = ServerRoleOf(userName);
    const QString verifier = QString::fromLatin1(sysop.PasswordVerifier(role, password));
    const auto rs = sysop.Execute(QStringLiteral("SELECT qmk_add_user(%1, %2, %3)")
                                      .arg(literal(userName), literal(role), literal(verifier)));
    const QString answer = rs->Fields(0).toString();
    if (answer == QLatin1String("added"))
        return AddUserOutcome::Added;
    if (answer == QLatin1String("exists"))
        return AddUserOutcome::Exists;
    // The names the program knows to be the server's were refused above; this is one it keeps besides.
    if (why)
        *why = QStringLiteral("The database server refused the name.");
    return AddUserOutcome::Refused;
}

namespace {

// Brings a database of the given version up to version to (kServerSchemaVersion unless a test lays
// out an earlier one), inside the caller's transaction.
void upgradeServerSchema(Connection &db, int from, int to = kServerSchemaVersion)
{
    if (from < 2) {
        // The version of the layout, which the program reads before it lets anyone log in.
        db.ExecuteScript(QStringLiteral(
            "CREATE TABLE qmk_schema (version integer NOT NULL); INSERT INTO qmk_schema VALUES (1);"
            "ALTER TABLE qmk_schema OWNER TO qmk_owner; GRANT SELECT ON qmk_schema TO qmk_users, sysop;"));
        UpgradeServerTo2(db);
    }
    if (from < 3 && to >= 3)
        UpgradeServerTo3(db);
    if (from < 4 && to >= 4)
        UpgradeServerTo4(db);
    if (from < 5 && to >= 5)
        UpgradeServerTo5(db);
    db.ExecuteScript(QStringLiteral("UPDATE qmk_schema SET version = %1").arg(to));
}

bool hasQuillmarkTables(Connection &db)
{
    return db.Execute(QStringLiteral("SELECT count(*) FROM pg_class WHERE relnamespace = 'public'::regnamespace AND "
                                     "relname IN ('tblusers','tblstatus','tbltasks','tbltransaction','defheads',"
                                     "'qmk_logins')"))->Fields(0).toInt64() > 0;
}

}  // namespace

int ServerSchemaVersion(IEngine &db)
{
    if (!db.Execute(QStringLiteral("SELECT to_regclass('public.qmk_schema') IS NOT NULL"))->Fields(0).toInt64())
        return 1;
    const auto rs = db.Execute(QStringLiteral("SELECT max(version) FROM qmk_schema"));
    return int(rs->Fields(0).toInt64());
}

QString ServerSchemaProblem(IEngine &db, const QString &conninfo)
{
    const int version = ServerSchemaVersion(db);
    if (version < kServerSchemaVersion)
        return QStringLiteral("The Quillmark database on the server was laid out by an earlier version of Quillmark "
                              "(its tables are of version %1; this program needs version %2). Nobody can log in "
                              "until whoever looks after the server brings it up to date with:\n\n"
                              "qmk-initdb --server \"%3\" --upgrade")
            .arg(version).arg(kServerSchemaVersion).arg(conninfo);
    if (version > kServerSchemaVersion)
        return QStringLiteral("The Quillmark database on the server was laid out by a later version of Quillmark "
                              "(its tables are of version %1; this program knows versions up to %2). Use that "
                              "version of Quillmark or a later one.")
            .arg(version).arg(kServerSchemaVersion);
    return {};
}

int UpgradeServerDatabase(const QString &conninfo, const QString &adminRole, const QString &adminPassword)
{
    Connection db;
    db.Use(std::make_unique<PgEngine>(conninfo, adminRole, adminPassword, true));
    db.ExecuteScript(QStringLiteral("BEGIN"));
    try {
        if (!hasQuillmarkTables(db))
            throw SqlError(QStringLiteral("The database holds no Quillmark tables: lay it out with qmk-initdb --server "
                                          "first."));
        // One upgrade at a time: a second one waits here, then finds the work done.
        if (db.Execute(QStringLiteral("SELECT to_regclass('public.qmk_schema') IS NOT NULL"))->Fields(0).toInt64())
            db.ExecuteScript(QStringLiteral("LOCK TABLE qmk_schema IN EXCLUSIVE MODE"));
        else
            db.ExecuteScript(QStringLiteral("LOCK TABLE tblUsers IN EXCLUSIVE MODE"));
        const int from = ServerSchemaVersion(*db.Engine());
        if (from > kServerSchemaVersion)
            throw SqlError(QStringLiteral("The database was laid out by a later version of Quillmark (its tables are of "
                                          "version %1; this program knows versions up to %2); it was left as it is.")
                               .arg(from).arg(kServerSchemaVersion));
        if (from < kServerSchemaVersion)
            upgradeServerSchema(db, from);
        db.ExecuteScript(QStringLiteral("COMMIT"));
        return from;
    } catch (...) {
        db.Rollback();
        throw;
    }
}

void ChangeServerPassword(PgEngine &own, const QString &password)
{
    const QString role = own.Role();
    const QString verifier = QString::fromLatin1(own.PasswordVerifier(role, password));
    QString ident = role;
    ident.replace(QLatin1Char('"'), QLatin1String("\"\""));
    own.ExecuteScript(QStringLiteral("ALTER ROLE \"%1\" PASSWORD %2").arg(ident, literal(verifier)));
    own.RememberPassword(password);
}

QString CreateServerDatabase(const QString &conninfo, const QString &adminRole, const QString &adminPassword,
                             const QString &sysopPassword, Sample sample, const QString &samplePassword, int version)
{
    Connection db;
    auto engine = std::make_unique<PgEngine>(conninfo, adminRole, adminPassword, true);
    PgEngine &admin = *engine;
    db.Use(std::move(engine));

    const auto count = [&](const QString &sql) { return db.Execute(sql)->Fields(0).toInt64(); };
    // Every script users type must fit: a database in another encoding could never store a
    // Cyrillic or Greek remark, however the program sends it.
    const QString encoding = db.Execute(QStringLiteral("SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE "
                                                       "datname = current_database()"))->Fields(0).toString();
    if (encoding != QLatin1String("UTF8"))
        throw SqlError(QStringLiteral("The database keeps its texts in %1, which cannot hold every script; Quillmark "
                                      "needs a UTF8 database. Make one with: createdb -E UTF8 -T template0 NAME")
                           .arg(encoding));
    if (hasQuillmarkTables(db))
        throw SqlError(QStringLiteral("The database already holds Quillmark's tables; it was left as it is."));
    if (count(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname IN "
                             "('sysop','qmk_owner','qmk_users','qmk_keys','qmk_useradmin','qmk_reaper',"
                             "'qmk_historian')")) > 0)
        throw SqlError(QStringLiteral("The server has Quillmark's roles already (they belong to the whole server, so "
                                      "it holds one Quillmark database); nothing was changed."));

    const QString sysopVerifier = QString::fromLatin1(admin.PasswordVerifier(QString::fromLatin1(kMasterUser), sysopPassword));
    db.ExecuteScript(QStringLiteral("BEGIN"));
    try {
        db.ExecuteScript(QStringLiteral(
            "CREATE ROLE qmk_owner NOLOGIN; CREATE ROLE qmk_users NOLOGIN; CREATE ROLE qmk_keys NOLOGIN;"
            "CREATE ROLE qmk_useradmin NOLOGIN CREATEROLE;"
            "CREATE ROLE sysop LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS PASSWORD %1;")
                             .arg(literal(sysopVerifier)));
        // Only Quillmark's logins may connect to its database; nobody may make objects in it.
        db.ExecuteScript(QStringLiteral(
            "DO $$ BEGIN "
            "EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());"
            "EXECUTE format('GRANT CONNECT ON DATABASE %I TO qmk_users, sysop', current_database());"
            "END $$; REVOKE CREATE ON SCHEMA public FROM PUBLIC;"));
        db.ExecuteScript(QString::fromLatin1(kServerSchema));
        db.ExecuteScript(QString::fromLatin1(kServerRights));
        for (const char *table : kOwnRowsTables)
            db.ExecuteScript(QStringLiteral(
                "ALTER TABLE %1 ENABLE ROW LEVEL SECURITY; ALTER TABLE %1 FORCE ROW LEVEL SECURITY;"
                "CREATE POLICY own_rows ON %1 FOR ALL TO qmk_users USING (UserId = (SELECT qmk_me())) "
                "WITH CHECK (UserId = (SELECT qmk_me()));"
                "CREATE POLICY every_key ON %1 FOR SELECT TO qmk_keys USING (true);")
                                 .arg(QString::fromLatin1(table)));
        const QStringList names = StatusNames();
        for (int i = 0; i < names.size(); ++i)
            db.Execute(QStringLiteral("INSERT INTO tblStatus (StatusID,StatusName) VALUES (%1,%2)")
                           .arg(i + 1).arg(literal(names[i])));
        if (sample != Sample::None) {
            const QString user = SampleUser(sample);
            const QString verifier = QString::fromLatin1(admin.PasswordVerifier(user, samplePassword));
            db.Execute(QStringLiteral("SELECT qmk_add_user(%1, %1, %2)").arg(literal(user), literal(verifier)));
            if (sample == Sample::Demo)
                AddDemoData(db, false);
            else
                db.ExecuteScript(QString::fromLatin1(sample == Sample::Huge ? kHugeServerData : kLargeServerData));
        }
        // The first layout, then every step after it: a new database and an upgraded one are the same.
        if (version > 1)
            upgradeServerSchema(db, 1, std::min(version, kServerSchemaVersion));
        if (sample == Sample::Demo && version >= 5)
            AddDemoPlans(db);
        db.ExecuteScript(QStringLiteral("COMMIT"));
    } catch (...) {
        db.Rollback();
        throw;
    }
    return db.Where();
}
