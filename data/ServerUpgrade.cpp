#include "data/ServerUpgrade.h"

#include "data/Engine.h"

namespace {

// Keys. Only the key function chooses them: it records the key it answers for a table in
// qmk_key_grants, under the session's process and transaction, and a row written to tblTasks,
// tblTransaction or defHeads by a member must carry that key, which it then uses up. A key and a
// row's user never change; an entry moves only to another project of its own user. Nobody logs
// in as qmk_keys, which owns the grants, the lock rows and the check; the server's superuser
// (loading samples, upgrading) is not held to it.
//
// The key lock is a row of qmk_key_locks, which only qmk_keys reaches, locked until the
// transaction ends: no member can take it but by calling the key function. A member's session
// may still call it and then sit idle (having turned its own timeouts off): a key function that
// cannot get the lock within a moment ends a member's session that holds a key lock, through
// qmk_end_stuck_holder, once it has been idle in its transaction for longer than the database's
// idle timeout, or has run one statement for longer than members' statement timeout.
const char *const kKeys = R"SQL(
CREATE ROLE qmk_reaper NOLOGIN;
GRANT pg_signal_backend, pg_read_all_stats TO qmk_reaper;

CREATE TABLE qmk_key_locks (tbl text PRIMARY KEY);
INSERT INTO qmk_key_locks VALUES ('tblusers'), ('tbltasks'), ('tbltransaction'), ('defheads');
CREATE TABLE qmk_key_grants (
    pid integer NOT NULL,
    xid xid8 NOT NULL,
    tbl text NOT NULL,
    key bigint NOT NULL,
    PRIMARY KEY (pid, xid, tbl)
);
REVOKE ALL ON qmk_key_locks, qmk_key_grants FROM PUBLIC;
ALTER TABLE qmk_key_locks OWNER TO qmk_keys;
ALTER TABLE qmk_key_grants OWNER TO qmk_keys;

CREATE FUNCTION qmk_end_stuck_holder(p_pid integer) RETURNS boolean LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    configured text;
    idle interval := interval '30 s';
    running interval := interval '60 s';
BEGIN
    -- The idle timeout the database is set to (a session may have turned its own off).
    SELECT substr(c, length('idle_in_transaction_session_timeout=') + 1) INTO configured
    FROM pg_db_role_setting, unnest(setconfig) AS c
    WHERE setrole = 0 AND setdatabase = (SELECT oid FROM pg_database WHERE datname = current_database())
      AND c LIKE 'idle\_in\_transaction\_session\_timeout=%';
    IF configured ~ '^[0-9]{1,9}$' THEN
        idle := configured::bigint * interval '1 ms';
    ELSIF configured ~ '^[0-9.]+ ?[a-z]+$' THEN
        idle := configured::interval;
    END IF;
    IF idle <= interval '0' THEN
        idle := interval '30 s';
    END IF;
    RETURN coalesce((
        SELECT pg_terminate_backend(a.pid, 2000)
        FROM pg_stat_activity a JOIN pg_roles r ON r.oid = a.usesysid
        WHERE a.pid = p_pid AND a.pid <> pg_backend_pid() AND a.datname = current_database()
          AND NOT r.rolsuper AND pg_has_role(r.oid, 'qmk_users', 'MEMBER')
          AND ((a.state LIKE 'idle in transaction%' AND a.state_change < clock_timestamp() - idle)
               OR (a.state = 'active' AND a.query_start < clock_timestamp() - running))), false);
END $$;

CREATE OR REPLACE FUNCTION qmk_largest_key(p_table text, p_column text) RETURNS bigint LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    largest bigint;
    waited_ms bigint;
    started timestamptz := clock_timestamp();
BEGIN
    IF p_table || '.' || p_column NOT IN ('tblusers.id', 'tbltasks.taskid', 'tbltransaction.id',
                                          'tbltransaction.taskid', 'defheads.id') THEN
        RAISE EXCEPTION 'No key is given from %.%', p_table, p_column;
    END IF;
    IF p_table = 'tbltransaction' AND p_column = 'taskid' THEN
        -- Read beside tblTasks' own, which the project allocator already holds.
        SELECT max(taskid) INTO largest FROM tbltransaction;
        RETURN largest;
    END IF;
    -- One allocator of a table at a time, until its transaction ends: the next one then reads
    -- the key this one wrote. It waits as long as the caller's lock_timeout, a moment at a time.
    SELECT setting::bigint INTO waited_ms FROM pg_settings WHERE name = 'lock_timeout';
    LOOP
        BEGIN
            PERFORM set_config('lock_timeout', '200ms', true);
            PERFORM 1 FROM qmk_key_locks WHERE tbl = p_table FOR UPDATE;
            PERFORM set_config('lock_timeout', waited_ms || 'ms', true);
            EXIT;
        EXCEPTION WHEN lock_not_available THEN
            NULL;
        END;
        -- Whoever holds a key lock holds qmk_key_locks itself until its transaction ends.
        PERFORM qmk_end_stuck_holder(l.pid) FROM pg_locks l
        WHERE l.locktype = 'relation' AND l.relation = 'qmk_key_locks'::regclass AND l.granted
          AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database())
          AND l.pid <> pg_backend_pid();
        IF waited_ms > 0 AND clock_timestamp() - started >= waited_ms * interval '1 ms' THEN
            RAISE EXCEPTION 'Another program is saving in %.', p_table USING ERRCODE = 'lock_not_available';
        END IF;
    END LOOP;
    -- A new project's number is above every number entries still name, as the program computes it.
    IF p_table = 'tbltasks' THEN
        largest := greatest((SELECT max(taskid) FROM tbltasks), (SELECT max(taskid) FROM tbltransaction));
    ELSE
        EXECUTE format('SELECT max(%I) FROM %I', p_column, p_table) INTO largest;
    END IF;
    IF p_table <> 'tblusers' THEN
        DELETE FROM qmk_key_grants WHERE pid = pg_backend_pid() AND xid <> pg_current_xact_id();
        INSERT INTO qmk_key_grants (pid, xid, tbl, key)
        VALUES (pg_backend_pid(), pg_current_xact_id(), p_table, coalesce(largest, 0) + 1)
        ON CONFLICT (pid, xid, tbl) DO UPDATE SET key = EXCLUDED.key;
    END IF;
    RETURN largest;
END $$;

CREATE FUNCTION qmk_check_keys() RETURNS trigger LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    new_key bigint;
    old_key bigint;
BEGIN
    IF TG_TABLE_NAME = 'tbltasks' THEN
        new_key := NEW.taskid;
    ELSE
        new_key := NEW.id;
    END IF;
    IF TG_OP = 'INSERT' THEN
        DELETE FROM qmk_key_grants WHERE pid = pg_backend_pid() AND xid = pg_current_xact_id()
                                     AND tbl = TG_TABLE_NAME AND key = new_key;
        IF NOT FOUND THEN
            RAISE EXCEPTION 'The key % of % was not given by the server''s key function.', new_key, TG_TABLE_NAME
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    ELSE
        IF TG_TABLE_NAME = 'tbltasks' THEN
            old_key := OLD.taskid;
        ELSE
            old_key := OLD.id;
        END IF;
        IF new_key IS DISTINCT FROM old_key OR NEW.userid IS DISTINCT FROM OLD.userid THEN
            RAISE EXCEPTION 'The key and the user of a row of % do not change.', TG_TABLE_NAME
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    END IF;
    IF TG_TABLE_NAME = 'tbltransaction' THEN
        IF (TG_OP = 'INSERT' OR NEW.taskid IS DISTINCT FROM OLD.taskid)
           AND NOT EXISTS (SELECT 1 FROM tbltasks WHERE taskid = NEW.taskid
                           AND userid COLLATE "C" = NEW.userid COLLATE "C") THEN
            RAISE EXCEPTION 'An entry belongs to a project of its own user.' USING ERRCODE = 'insufficient_privilege';
        END IF;
    END IF;
    RETURN NEW;
END $$;

REVOKE ALL ON FUNCTION qmk_end_stuck_holder(integer), qmk_check_keys() FROM PUBLIC;
ALTER FUNCTION qmk_end_stuck_holder(integer) OWNER TO qmk_reaper;
ALTER FUNCTION qmk_check_keys() OWNER TO qmk_keys;
GRANT EXECUTE ON FUNCTION qmk_end_stuck_holder(integer) TO qmk_keys;
GRANT EXECUTE ON FUNCTION qmk_largest_key(text, text) TO qmk_useradmin;

CREATE TRIGGER qmk_keys_given BEFORE INSERT OR UPDATE ON tblTasks FOR EACH ROW
    WHEN (current_setting('is_superuser') <> 'on') EXECUTE FUNCTION qmk_check_keys();
CREATE TRIGGER qmk_keys_given BEFORE INSERT OR UPDATE ON tblTransaction FOR EACH ROW
    WHEN (current_setting('is_superuser') <> 'on') EXECUTE FUNCTION qmk_check_keys();
CREATE TRIGGER qmk_keys_given BEFORE INSERT OR UPDATE ON defHeads FOR EACH ROW
    WHEN (current_setting('is_superuser') <> 'on') EXECUTE FUNCTION qmk_check_keys();
)SQL";

// Sessions: a transaction left idle ends after 30 seconds, a member's statement after 60, and a
// member has at most 8 sessions at once. A member may turn their own timeouts off; the key
// function above copes with that.
const char *const kSessions = R"SQL(
DO $$
DECLARE
    r record;
BEGIN
    EXECUTE format('ALTER DATABASE %I SET idle_in_transaction_session_timeout = %L', current_database(), '30s');
    FOR r IN SELECT m.rolname FROM pg_auth_members a JOIN pg_roles m ON m.oid = a.member
             WHERE a.roleid = 'qmk_users'::regrole LOOP
        EXECUTE format('ALTER ROLE %I CONNECTION LIMIT 8', r.rolname);
        EXECUTE format('ALTER ROLE %I IN DATABASE %I SET statement_timeout = %L', r.rolname, current_database(), '60s');
    END LOOP;
END $$;
)SQL";

// Users are added with a verifier as libpq makes it (SCRAM-SHA-256, a 16-byte salt, 32-byte keys,
// 4096 to 100000 iterations: more would keep the server busy at every login), under the name in
// small letters, never under a name the server or Quillmark keeps for itself, in any letter case.
const char *const kAddUser = R"SQL(
CREATE OR REPLACE FUNCTION qmk_add_user(p_name text, p_role text, p_verifier text) RETURNS text LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    next_id bigint;
    parts text[];
BEGIN
    IF p_name IS NULL OR p_role IS NULL OR p_verifier IS NULL OR btrim(p_name) = '' THEN
        RAISE EXCEPTION 'A user needs a name and a password.';
    END IF;
    IF octet_length(p_role) > 63 OR lower(p_role) IN ('postgres', 'public', 'none', 'current_user', 'session_user',
                                                      'current_role', 'sysop')
       OR lower(p_role) LIKE 'pg\_%' OR lower(p_role) LIKE 'qmk\_%' THEN
        RETURN 'reserved';
    END IF;
    IF p_role <> lower(p_name) THEN
        RAISE EXCEPTION 'The login of "%" must be its name in small letters.', p_name;
    END IF;
    parts := regexp_match(p_verifier, '^SCRAM-SHA-256\$([0-9]{4,6}):([A-Za-z0-9+/]{22}==)\$([A-Za-z0-9+/]{43}=):([A-Za-z0-9+/]{43}=)$');
    IF parts IS NULL OR parts[1]::integer NOT BETWEEN 4096 AND 100000 THEN
        RAISE EXCEPTION 'The password must reach the server as a SCRAM-SHA-256 verifier.';
    END IF;
    next_id := coalesce(qmk_largest_key('tblusers', 'id'), 0) + 1;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = p_role)
       OR EXISTS (SELECT 1 FROM tblusers WHERE qmk_fold(userid) COLLATE "C" = qmk_fold(p_name))
       OR EXISTS (SELECT 1 FROM qmk_logins WHERE qmk_fold(userid) COLLATE "C" = qmk_fold(p_name)) THEN
        RETURN 'exists';
    END IF;
    IF next_id > 2147483647 THEN
        RAISE EXCEPTION 'Overflow: tblUsers has no key left to give (the largest is 2147483647).';
    END IF;
    EXECUTE format('CREATE ROLE %I LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS '
                   'CONNECTION LIMIT 8 PASSWORD %L IN ROLE qmk_users', p_role, p_verifier);
    EXECUTE format('ALTER ROLE %I IN DATABASE %I SET statement_timeout = %L', p_role, current_database(), '60s');
    INSERT INTO qmk_logins (rolname, userid) VALUES (p_role, p_name);
    INSERT INTO tblusers (id, userid, passwd) VALUES (next_id, p_name, '');
    RETURN 'added';
EXCEPTION WHEN duplicate_object OR unique_violation THEN
    RETURN 'exists';
END $$;
)SQL";

// Statistics of the values in amount, date, name and remark columns would let a member read other
// users' values from the planner's estimates (EXPLAIN): none are kept, those kept are dropped, and
// the tables analyzed before are analyzed again for the columns whose statistics stay.
const char *const kStatistics = R"SQL(
ALTER TABLE tblTasks ALTER COLUMN TaskName SET STATISTICS 0, ALTER COLUMN StartDate SET STATISTICS 0,
    ALTER COLUMN EndDate SET STATISTICS 0, ALTER COLUMN CostUpToNow SET STATISTICS 0,
    ALTER COLUMN CostPlanned SET STATISTICS 0, ALTER COLUMN Notes SET STATISTICS 0;
ALTER TABLE tblTransaction ALTER COLUMN TransactionDate SET STATISTICS 0, ALTER COLUMN AmountIn SET STATISTICS 0,
    ALTER COLUMN AmountOut SET STATISTICS 0, ALTER COLUMN Remarks SET STATISTICS 0;
ALTER TABLE defHeads ALTER COLUMN Heads SET STATISTICS 0;
DELETE FROM pg_statistic s USING pg_attribute a
WHERE a.attrelid = s.starelid AND a.attnum = s.staattnum AND a.attstattarget = 0
  AND s.starelid IN ('tbltasks'::regclass, 'tbltransaction'::regclass, 'defheads'::regclass);
DO $$
DECLARE
    t regclass;
BEGIN
    -- Tables never analyzed yet have nothing to refresh: the server gathers what is left in time.
    FOR t IN SELECT oid FROM pg_class WHERE oid IN ('tbltasks'::regclass, 'tbltransaction'::regclass,
                                                     'defheads'::regclass) AND reltuples >= 0 LOOP
        EXECUTE format('ANALYZE %s', t);
    END LOOP;
END $$;
)SQL";

// Two names are one name when they differ in letter case only, as in the database file: the
// server's collation also took characters of another width (ｄｅｍｏ) for the same. Names are kept
// unique by their small letters (the final sigma written as any sigma, as the file folds it), and
// every row belongs to the user whose name it carries exactly (the comparisons say COLLATE "C":
// a result of the fold keeps the column's collation, which would take the look-alikes as one), so that no look-alike name reaches
// another user's rows.
const char *const kNames = R"SQL(
CREATE FUNCTION qmk_fold(p_name text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE
    AS $$ SELECT replace(lower(p_name COLLATE "und-x-icu"), chr(962), chr(963)) $$;
ALTER FUNCTION qmk_fold(text) OWNER TO qmk_owner;
ALTER TABLE tblUsers DROP CONSTRAINT IF EXISTS tblusers_userid_key;
CREATE UNIQUE INDEX ixUsersByName ON tblUsers ((qmk_fold(UserId) COLLATE "C"));
ALTER TABLE qmk_logins DROP CONSTRAINT IF EXISTS qmk_logins_userid_key;
CREATE UNIQUE INDEX ixLoginsByName ON qmk_logins ((qmk_fold(UserId) COLLATE "C"));
ALTER POLICY own_row ON tblUsers USING (UserId = (SELECT qmk_me()) AND UserId COLLATE "C" = (SELECT qmk_me()));
ALTER POLICY own_rows ON tblTasks USING (UserId = (SELECT qmk_me()) AND UserId COLLATE "C" = (SELECT qmk_me()))
    WITH CHECK (UserId COLLATE "C" = (SELECT qmk_me()));
ALTER POLICY own_rows ON tblTransaction USING (UserId = (SELECT qmk_me()) AND UserId COLLATE "C" = (SELECT qmk_me()))
    WITH CHECK (UserId COLLATE "C" = (SELECT qmk_me()));
ALTER POLICY own_rows ON defHeads USING (UserId = (SELECT qmk_me()) AND UserId COLLATE "C" = (SELECT qmk_me()))
    WITH CHECK (UserId COLLATE "C" = (SELECT qmk_me()));
)SQL";

// A project's entries in the ledger's order, entries without a date first as on the file, so that
// a ledger's first rows come from the index without sorting the rest.
const char *const kLedgerOrder = R"SQL(
CREATE INDEX ixTransactionsByTaskInOrder ON tblTransaction (TaskID, UserId, TransactionDate NULLS FIRST, Id NULLS FIRST);
)SQL";

// Imported entries. A batch's id is the server's own (an identity): nobody else's batch can be
// named by guessing one, since the row policies hide it. Every row carries its user, fixed to the
// login by the policies, as in the ledger's tables.
const char *const kImports = R"SQL(
CREATE TABLE tblImportBatches (
    Id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    UserId text COLLATE qmk_nocase NOT NULL,
    TaskID integer,
    FileName text,
    FileSha256 text,
    ImportedAt text,
    EntryCount integer
);
CREATE TABLE tblImportedEntries (
    BatchId integer NOT NULL,
    UserId text COLLATE qmk_nocase NOT NULL,
    ActionId integer,
    BankId text,
    Fingerprint text,
    Stamp text
);
CREATE TABLE tblImportRules (
    UserId text COLLATE qmk_nocase NOT NULL,
    Position integer,
    Contains text,
    HeadId integer
);
CREATE TABLE tblImportProfiles (
    UserId text COLLATE qmk_nocase NOT NULL,
    Name text,
    Shape text,
    Mapping text
);
CREATE INDEX ixImportBatchesByTask ON tblImportBatches (TaskID, UserId);
CREATE INDEX ixImportedEntriesByBatch ON tblImportedEntries (BatchId, UserId);
CREATE INDEX ixImportRulesByUser ON tblImportRules (UserId, Position);
CREATE INDEX ixImportProfilesByUser ON tblImportProfiles (UserId, Name);
CREATE INDEX ixImportedEntriesByAction ON tblImportedEntries (ActionId);
ALTER TABLE tblImportBatches ALTER COLUMN FileName SET STATISTICS 0, ALTER COLUMN FileSha256 SET STATISTICS 0,
    ALTER COLUMN ImportedAt SET STATISTICS 0, ALTER COLUMN EntryCount SET STATISTICS 0;
ALTER TABLE tblImportedEntries ALTER COLUMN BankId SET STATISTICS 0, ALTER COLUMN Fingerprint SET STATISTICS 0,
    ALTER COLUMN Stamp SET STATISTICS 0;
ALTER TABLE tblImportRules ALTER COLUMN Contains SET STATISTICS 0;
ALTER TABLE tblImportProfiles ALTER COLUMN Name SET STATISTICS 0, ALTER COLUMN Shape SET STATISTICS 0,
    ALTER COLUMN Mapping SET STATISTICS 0;
DO $$
DECLARE
    t text;
BEGIN
    FOREACH t IN ARRAY ARRAY['tblImportBatches', 'tblImportedEntries', 'tblImportRules', 'tblImportProfiles'] LOOP
        EXECUTE format('ALTER TABLE %s OWNER TO qmk_owner', t);
        EXECUTE format('REVOKE ALL ON %s FROM PUBLIC', t);
        EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON %s TO qmk_users', t);
        EXECUTE format('ALTER TABLE %s ENABLE ROW LEVEL SECURITY', t);
        EXECUTE format('ALTER TABLE %s FORCE ROW LEVEL SECURITY', t);
        EXECUTE format('CREATE POLICY own_rows ON %s FOR ALL TO qmk_users '
                       'USING (UserId = (SELECT qmk_me()) AND UserId COLLATE "C" = (SELECT qmk_me())) '
                       'WITH CHECK (UserId COLLATE "C" = (SELECT qmk_me()))', t);
    END LOOP;
END $$;

-- An entry deleted from the ledger is no longer an import's: its key may be given again, and an
-- undo must never remove the entry that then takes it. Its bank id and fingerprint stay, so the
-- line is still known as imported. Runs as the deleting member, on their own import rows.
CREATE FUNCTION qmk_forget_imported() RETURNS trigger LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    UPDATE tblImportedEntries SET ActionId = NULL WHERE ActionId = OLD.Id;
    RETURN OLD;
END $$;
ALTER FUNCTION qmk_forget_imported() OWNER TO qmk_owner;
CREATE TRIGGER qmk_forget_imported AFTER DELETE ON tblTransaction FOR EACH ROW EXECUTE FUNCTION qmk_forget_imported();
)SQL";

// Keys taken together. qmk_take_keys takes the table's allocator lock through qmk_largest_key,
// then grants the whole range largest+1 ... largest+count to the caller's transaction instead of
// the one key; a range past the largest key is refused and grants nothing. The check of a new
// row accepts a key of a range granted to its own transaction, taken in order (the table's primary
// key keeps each key to one row), else, as before, the one key qmk_largest_key gave, which it
// uses up.
const char *const kKeyRanges = R"SQL(
CREATE TABLE qmk_key_ranges (
    pid integer NOT NULL,
    xid xid8 NOT NULL,
    tbl text NOT NULL,
    first bigint NOT NULL,
    last bigint NOT NULL,
    PRIMARY KEY (pid, xid, tbl)
);
REVOKE ALL ON qmk_key_ranges FROM PUBLIC;
ALTER TABLE qmk_key_ranges OWNER TO qmk_keys;

CREATE FUNCTION qmk_take_keys(p_table text, p_count integer) RETURNS bigint LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    largest bigint;
    column_name text;
BEGIN
    column_name := CASE p_table WHEN 'tbltransaction' THEN 'id' WHEN 'tbltasks' THEN 'taskid'
                                WHEN 'defheads' THEN 'id' END;
    IF column_name IS NULL THEN
        RAISE EXCEPTION 'No keys are given together from %', p_table;
    END IF;
    IF p_count IS NULL OR p_count < 1 THEN
        RAISE EXCEPTION 'At least one key must be taken.';
    END IF;
    largest := coalesce(qmk_largest_key(p_table, column_name), 0);
    IF largest + p_count > 2147483647 THEN
        RAISE EXCEPTION 'Overflow: % has no % keys left to give (the largest is 2147483647).', p_table, p_count
            USING ERRCODE = 'numeric_value_out_of_range';
    END IF;
    -- The range stands for the one key the allocator granted.
    DELETE FROM qmk_key_grants WHERE pid = pg_backend_pid() AND xid = pg_current_xact_id() AND tbl = p_table;
    DELETE FROM qmk_key_ranges WHERE pid = pg_backend_pid() AND (xid <> pg_current_xact_id() OR tbl = p_table);
    INSERT INTO qmk_key_ranges (pid, xid, tbl, first, last)
    VALUES (pg_backend_pid(), pg_current_xact_id(), p_table, largest + 1, largest + p_count);
    RETURN largest;
END $$;
REVOKE ALL ON FUNCTION qmk_take_keys(text, integer) FROM PUBLIC;
ALTER FUNCTION qmk_take_keys(text, integer) OWNER TO qmk_keys;
GRANT EXECUTE ON FUNCTION qmk_take_keys(text, integer) TO qmk_users;

CREATE OR REPLACE FUNCTION qmk_check_keys() RETURNS trigger LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    new_key bigint;
    old_key bigint;
    range_first bigint;
    range_last bigint;
    largest bigint;
BEGIN
    IF TG_TABLE_NAME = 'tbltasks' THEN
        new_key := NEW.taskid;
    ELSE
        new_key := NEW.id;
    END IF;
    IF TG_OP = 'INSERT' THEN
        SELECT first, last INTO range_first, range_last FROM qmk_key_ranges
        WHERE pid = pg_backend_pid() AND xid = pg_current_xact_id() AND tbl = TG_TABLE_NAME;
        IF FOUND AND new_key BETWEEN range_first AND range_last THEN
            -- The keys of a range are used in order, none skipped: a key far above the rest
            -- would leave every key below it unused and bring the table's end nearer.
            IF new_key > range_first THEN
                IF TG_TABLE_NAME = 'tbltasks' THEN
                    SELECT max(taskid) INTO largest FROM tbltasks;
                ELSIF TG_TABLE_NAME = 'defheads' THEN
                    SELECT max(id) INTO largest FROM defheads;
                ELSE
                    SELECT max(id) INTO largest FROM tbltransaction;
                END IF;
                IF largest IS NULL OR new_key > largest + 1 THEN
                    RAISE EXCEPTION 'The key % of % skips keys of its range.', new_key, TG_TABLE_NAME
                        USING ERRCODE = 'insufficient_privilege';
                END IF;
            END IF;
        ELSE
            DELETE FROM qmk_key_grants WHERE pid = pg_backend_pid() AND xid = pg_current_xact_id()
                                         AND tbl = TG_TABLE_NAME AND key = new_key;
            IF NOT FOUND THEN
                RAISE EXCEPTION 'The key % of % was not given by the server''s key function.', new_key, TG_TABLE_NAME
                    USING ERRCODE = 'insufficient_privilege';
            END IF;
        END IF;
    ELSE
        IF TG_TABLE_NAME = 'tbltasks' THEN
            old_key := OLD.taskid;
        ELSE
            old_key := OLD.id;
        END IF;
        IF new_key IS DISTINCT FROM old_key OR NEW.userid IS DISTINCT FROM OLD.userid THEN
            RAISE EXCEPTION 'The key and the user of a row of % do not change.', TG_TABLE_NAME
                USING ERRCODE = 'insufficient_privilege';
        END IF;
    END IF;
    IF TG_TABLE_NAME = 'tbltransaction' THEN
        IF (TG_OP = 'INSERT' OR NEW.taskid IS DISTINCT FROM OLD.taskid)
           AND NOT EXISTS (SELECT 1 FROM tbltasks WHERE taskid = NEW.taskid
                           AND userid COLLATE "C" = NEW.userid COLLATE "C") THEN
            RAISE EXCEPTION 'An entry belongs to a project of its own user.' USING ERRCODE = 'insufficient_privilege';
        END IF;
    END IF;
    RETURN NEW;
END $$;
)SQL";

// Projects shared with members, and the history of changes.
//
// Memberships are changed only through qmk_share and qmk_unshare, which check that the session's
// user owns the project; members read the memberships of the projects they own or belong to.
// qmk_shared answers the projects shared with the session's user (and their owners), for the row
// policies: a member reads the project's row, its entries and its owner's heads; an editor also
// writes the project's entries under the owner's name and the project's balance, nothing else
// (qmk_check_member_change keeps the rest of the project and an entry's project as they are).
// qmk_owner's own functions read every project (its policy owner_functions); nobody logs in as it.
//
// The history is written by the functions qmk_history_TABLE (historyFunctions below), run by
// triggers as qmk_historian, a role nobody
// logs in as or is granted: the rows name the session's user (never a value of the row), and no
// program role may insert, change or delete them; triggers refuse a change or delete even from the
// historian's own functions. A member reads the history of the projects they own or belong to,
// and of their own rows (a deleted project, their heads).
const char *const kSharing = R"SQL(
CREATE ROLE qmk_historian NOLOGIN;
GRANT EXECUTE ON FUNCTION qmk_me() TO qmk_historian;

CREATE TABLE tblMembers (
    TaskID integer NOT NULL,
    UserId text COLLATE qmk_nocase NOT NULL,
    Role text NOT NULL CHECK (Role IN ('Viewer', 'Editor'))
);
CREATE UNIQUE INDEX ixMembersByTask ON tblMembers (TaskID, (qmk_fold(UserId) COLLATE "C"));
CREATE INDEX ixMembersByUser ON tblMembers (UserId, TaskID);
ALTER TABLE tblMembers OWNER TO qmk_owner;
REVOKE ALL ON tblMembers FROM PUBLIC;
GRANT SELECT ON tblMembers TO qmk_users;
ALTER TABLE tblMembers ENABLE ROW LEVEL SECURITY;
ALTER TABLE tblMembers ALTER COLUMN Role SET STATISTICS 0;

CREATE POLICY owner_functions ON tblTasks FOR SELECT TO qmk_owner USING (true);

CREATE FUNCTION qmk_shared(p_editing boolean) RETURNS TABLE (taskid integer, owner text) LANGUAGE sql STABLE
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT m.TaskID, t.UserId::text FROM tblMembers m JOIN tblTasks t ON t.TaskID = m.TaskID
    WHERE m.UserId COLLATE "C" = qmk_me() AND (NOT p_editing OR m.Role = 'Editor') $$;
CREATE FUNCTION qmk_my_projects() RETURNS SETOF integer LANGUAGE sql STABLE
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT TaskID FROM tblTasks WHERE UserId COLLATE "C" = qmk_me()
    UNION SELECT TaskID FROM tblMembers WHERE UserId COLLATE "C" = qmk_me() $$;

CREATE FUNCTION qmk_share(p_task integer, p_user text, p_role text) RETURNS void LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    me text := qmk_me();
    owner text;
    member text;
BEGIN
    SELECT UserId INTO owner FROM tblTasks WHERE TaskID = p_task;
    IF me IS NULL OR owner IS NULL OR owner COLLATE "C" <> me THEN
        RAISE EXCEPTION 'Only the project''s owner may change its members.' USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF p_role IS NULL OR p_role NOT IN ('Viewer', 'Editor') THEN
        RAISE EXCEPTION 'A member is a viewer or an editor.';
    END IF;
    SELECT UserId INTO member FROM qmk_logins WHERE qmk_fold(UserId) COLLATE "C" = qmk_fold(p_user);
    IF member IS NULL THEN
        RAISE EXCEPTION 'No user named % exists.', p_user;
    END IF;
    IF member COLLATE "C" = owner COLLATE "C" THEN
        RAISE EXCEPTION 'The project''s owner cannot be one of its members.';
    END IF;
    UPDATE tblMembers SET Role = p_role WHERE TaskID = p_task AND qmk_fold(UserId) COLLATE "C" = qmk_fold(member)
                                           AND Role <> p_role;
    INSERT INTO tblMembers (TaskID, UserId, Role)
    SELECT p_task, member, p_role
    WHERE NOT EXISTS (SELECT 1 FROM tblMembers WHERE TaskID = p_task AND qmk_fold(UserId) COLLATE "C" = qmk_fold(member));
END $$;
CREATE FUNCTION qmk_unshare(p_task integer, p_user text) RETURNS void LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    me text := qmk_me();
    owner text;
BEGIN
    SELECT UserId INTO owner FROM tblTasks WHERE TaskID = p_task;
    IF me IS NULL OR owner IS NULL OR owner COLLATE "C" <> me THEN
        RAISE EXCEPTION 'Only the project''s owner may change its members.' USING ERRCODE = 'insufficient_privilege';
    END IF;
    DELETE FROM tblMembers WHERE TaskID = p_task AND qmk_fold(UserId) COLLATE "C" = qmk_fold(p_user);
END $$;
-- A deleted project's memberships go with it: a later project given the same number must not open
-- to the members of the one deleted.
CREATE FUNCTION qmk_members_of_deleted() RETURNS trigger LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    DELETE FROM tblMembers WHERE TaskID = OLD.TaskID;
    RETURN OLD;
END $$;
CREATE FUNCTION qmk_check_member_change() RETURNS trigger LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF OLD.userid COLLATE "C" IS DISTINCT FROM qmk_me() THEN
        IF TG_TABLE_NAME = 'tbltasks' AND (to_jsonb(NEW) - 'costuptonow') IS DISTINCT FROM (to_jsonb(OLD) - 'costuptonow') THEN
            RAISE EXCEPTION 'Only the project''s owner changes its fields.' USING ERRCODE = 'insufficient_privilege';
        END IF;
        IF TG_TABLE_NAME = 'tbltransaction' AND NEW.taskid IS DISTINCT FROM OLD.taskid THEN
            RAISE EXCEPTION 'An entry of a shared project stays in its project.' USING ERRCODE = 'insufficient_privilege';
        END IF;
    END IF;
    RETURN NEW;
END $$;
REVOKE ALL ON FUNCTION qmk_shared(boolean), qmk_my_projects(), qmk_share(integer, text, text),
    qmk_unshare(integer, text), qmk_members_of_deleted(), qmk_check_member_change() FROM PUBLIC;
ALTER FUNCTION qmk_shared(boolean) OWNER TO qmk_owner;
ALTER FUNCTION qmk_my_projects() OWNER TO qmk_owner;
ALTER FUNCTION qmk_share(integer, text, text) OWNER TO qmk_owner;
ALTER FUNCTION qmk_unshare(integer, text) OWNER TO qmk_owner;
ALTER FUNCTION qmk_members_of_deleted() OWNER TO qmk_owner;
ALTER FUNCTION qmk_check_member_change() OWNER TO qmk_owner;
GRANT EXECUTE ON FUNCTION qmk_shared(boolean), qmk_my_projects(), qmk_share(integer, text, text),
    qmk_unshare(integer, text), qmk_check_member_change() TO qmk_users;
GRANT EXECUTE ON FUNCTION qmk_my_projects() TO qmk_historian;

-- An entry an editor deletes is no longer an import of the owner's either: the trigger that forgets
-- it runs with the rights of qmk_owner, which reaches every user's import rows for that alone.
CREATE POLICY owner_functions ON tblImportedEntries FOR ALL TO qmk_owner USING (true) WITH CHECK (true);
ALTER FUNCTION qmk_forget_imported() SECURITY DEFINER;

CREATE TRIGGER qmk_members_of_deleted AFTER DELETE ON tblTasks FOR EACH ROW EXECUTE FUNCTION qmk_members_of_deleted();
CREATE TRIGGER qmk_member_change BEFORE UPDATE ON tblTasks FOR EACH ROW
    WHEN (current_setting('is_superuser') <> 'on') EXECUTE FUNCTION qmk_check_member_change();
CREATE TRIGGER qmk_member_change BEFORE UPDATE ON tblTransaction FOR EACH ROW
    WHEN (current_setting('is_superuser') <> 'on') EXECUTE FUNCTION qmk_check_member_change();

CREATE POLICY members_read ON tblMembers FOR SELECT TO qmk_users
    USING (TaskID IN (SELECT qmk_my_projects()));
-- A user's own rows never need the look-up of the projects shared with them.
CREATE POLICY shared_read ON tblTasks FOR SELECT TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me()) AND TaskID IN (SELECT s.taskid FROM qmk_shared(false) s));
CREATE POLICY shared_balance ON tblTasks FOR UPDATE TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me()) AND TaskID IN (SELECT s.taskid FROM qmk_shared(true) s))
    WITH CHECK (TaskID IN (SELECT s.taskid FROM qmk_shared(true) s));
CREATE POLICY shared_read ON tblTransaction FOR SELECT TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
           AND (TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(false) s));
CREATE POLICY shared_insert ON tblTransaction FOR INSERT TO qmk_users
    WITH CHECK (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
                AND (TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(true) s));
CREATE POLICY shared_update ON tblTransaction FOR UPDATE TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
           AND (TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(true) s))
    WITH CHECK ((TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(true) s));
CREATE POLICY shared_delete ON tblTransaction FOR DELETE TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
           AND (TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(true) s));
CREATE POLICY shared_read ON defHeads FOR SELECT TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
           AND UserId COLLATE "C" IN (SELECT s.owner COLLATE "C" FROM qmk_shared(false) s));

CREATE SEQUENCE qmk_history_events AS bigint;
CREATE TABLE tblHistory (
    Id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    Event bigint NOT NULL,
    ChangedAt text NOT NULL,
    ChangedBy text,
    TableName text NOT NULL,
    RowKey bigint,
    TaskID integer,
    Kind text NOT NULL,
    ColumnName text NOT NULL,
    OldValue text,
    NewValue text,
    RowUserId text COLLATE qmk_nocase
);
CREATE INDEX ixHistoryByTask ON tblHistory (TaskID, Event);
CREATE INDEX ixHistoryByRow ON tblHistory (TableName, RowKey);
CREATE INDEX ixHistoryByEvent ON tblHistory (Event);
ALTER TABLE tblHistory ALTER COLUMN OldValue SET STATISTICS 0, ALTER COLUMN NewValue SET STATISTICS 0,
    ALTER COLUMN ChangedBy SET STATISTICS 0, ALTER COLUMN RowUserId SET STATISTICS 0;
REVOKE ALL ON tblHistory FROM PUBLIC;
REVOKE ALL ON SEQUENCE qmk_history_events FROM PUBLIC;
ALTER TABLE tblHistory OWNER TO qmk_historian;
ALTER SEQUENCE qmk_history_events OWNER TO qmk_historian;
GRANT SELECT ON tblHistory TO qmk_users, qmk_keys;
ALTER TABLE tblHistory ENABLE ROW LEVEL SECURITY;
CREATE POLICY members_read ON tblHistory FOR SELECT TO qmk_users
    USING (RowUserId COLLATE "C" = (SELECT qmk_me())
           OR (TableName <> 'defHeads' AND TaskID IN (SELECT qmk_my_projects())));
CREATE POLICY every_key ON tblHistory FOR SELECT TO qmk_keys USING (true);

CREATE FUNCTION qmk_history_is_kept() RETURNS trigger LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    RAISE EXCEPTION 'The history of changes cannot be changed or deleted.' USING ERRCODE = 'insufficient_privilege';
END $$;
REVOKE ALL ON FUNCTION qmk_history_is_kept() FROM PUBLIC;
ALTER FUNCTION qmk_history_is_kept() OWNER TO qmk_historian;
CREATE TRIGGER qmk_history_kept BEFORE UPDATE OR DELETE ON tblHistory FOR EACH ROW EXECUTE FUNCTION qmk_history_is_kept();
CREATE TRIGGER qmk_history_kept_whole BEFORE TRUNCATE ON tblHistory FOR EACH STATEMENT EXECUTE FUNCTION qmk_history_is_kept();

-- A restored row takes its own key again when it is still free (a key at or below the table's
-- largest that a deleted row of the table had), else the next one; the key is granted to the
-- caller's transaction as the key function grants keys.
CREATE FUNCTION qmk_restore_key(p_table text, p_key bigint) RETURNS bigint LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    key_column text;
    table_name text;
    largest bigint;
    taken boolean;
BEGIN
    key_column := CASE p_table WHEN 'tbltransaction' THEN 'id' WHEN 'tbltasks' THEN 'taskid' END;
    table_name := CASE p_table WHEN 'tbltransaction' THEN 'tblTransaction' WHEN 'tbltasks' THEN 'tblTasks' END;
    IF key_column IS NULL THEN
        RAISE EXCEPTION 'No key is restored in %', p_table;
    END IF;
    largest := coalesce(qmk_largest_key(p_table, key_column), 0);
    IF p_key BETWEEN 1 AND largest THEN
        EXECUTE format('SELECT EXISTS (SELECT 1 FROM %I WHERE %I = $1)', p_table, key_column) INTO taken USING p_key;
        IF NOT taken AND EXISTS (SELECT 1 FROM tblHistory WHERE TableName = table_name AND RowKey = p_key
                                                           AND Kind = 'Deleted') THEN
            UPDATE qmk_key_grants SET key = p_key
            WHERE pid = pg_backend_pid() AND xid = pg_current_xact_id() AND tbl = p_table;
            RETURN p_key;
        END IF;
    END IF;
    IF largest >= 2147483647 THEN
        RAISE EXCEPTION 'Overflow: % has no key left to give (the largest is 2147483647).', table_name;
    END IF;
    RETURN largest + 1;
END $$;
REVOKE ALL ON FUNCTION qmk_restore_key(text, bigint) FROM PUBLIC;
ALTER FUNCTION qmk_restore_key(text, bigint) OWNER TO qmk_keys;
GRANT EXECUTE ON FUNCTION qmk_restore_key(text, bigint) TO qmk_users;
)SQL";

// Projects planned by their heads, as in the file: a revision of a project's plan a row, one row a
// planned head of a revision. Only a project's owner adds a plan, under their own name, to a
// project of theirs and with heads of theirs; members read the plans of the projects shared with
// them; nobody changes or deletes a saved revision (the program's roles have no right to), and a
// deleted project's plan goes with it, through a function with the tables' owner's rights. The
// revisions, each with its date and user, are the plan's history: the history table does not
// repeat them.
const char *const kBudgets = R"SQL(
CREATE TABLE tblBudgetRevisions (
    TaskID integer NOT NULL,
    Revision integer NOT NULL CHECK (Revision >= 0),
    SavedAt text NOT NULL,
    SavedBy text,
    UserId text COLLATE qmk_nocase NOT NULL,
    PRIMARY KEY (TaskID, Revision)
);
CREATE TABLE tblHeadBudgets (
    TaskID integer NOT NULL,
    Revision integer NOT NULL,
    HeadId integer NOT NULL,
    Planned double precision NOT NULL CHECK (Planned >= 0 AND Planned < 'Infinity'::double precision),
    UserId text COLLATE qmk_nocase NOT NULL,
    PRIMARY KEY (TaskID, Revision, HeadId)
);
CREATE INDEX ixTransactionsByTaskHead ON tblTransaction (TaskID, HeadId, UserId, AmountOut);
ALTER TABLE tblBudgetRevisions ALTER COLUMN SavedAt SET STATISTICS 0, ALTER COLUMN SavedBy SET STATISTICS 0;
ALTER TABLE tblHeadBudgets ALTER COLUMN Planned SET STATISTICS 0;
ALTER TABLE tblBudgetRevisions OWNER TO qmk_owner;
ALTER TABLE tblHeadBudgets OWNER TO qmk_owner;
REVOKE ALL ON tblBudgetRevisions, tblHeadBudgets FROM PUBLIC;
GRANT SELECT, INSERT ON tblBudgetRevisions, tblHeadBudgets TO qmk_users;
ALTER TABLE tblBudgetRevisions ENABLE ROW LEVEL SECURITY;
ALTER TABLE tblHeadBudgets ENABLE ROW LEVEL SECURITY;

CREATE POLICY own_rows ON tblBudgetRevisions FOR SELECT TO qmk_users USING (UserId = (SELECT qmk_me()));
CREATE POLICY owner_saves ON tblBudgetRevisions FOR INSERT TO qmk_users
    WITH CHECK (UserId = (SELECT qmk_me())
                AND TaskID IN (SELECT k.TaskID FROM tblTasks k WHERE k.UserId = (SELECT qmk_me())));
CREATE POLICY shared_read ON tblBudgetRevisions FOR SELECT TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
           AND (TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(false) s));
CREATE POLICY own_rows ON tblHeadBudgets FOR SELECT TO qmk_users USING (UserId = (SELECT qmk_me()));
-- A planned head joins the project's latest revision, the owner's own.
CREATE POLICY owner_saves ON tblHeadBudgets FOR INSERT TO qmk_users
    WITH CHECK (UserId = (SELECT qmk_me())
                AND Revision = (SELECT max(r.Revision) FROM tblBudgetRevisions r
                                WHERE r.TaskID = tblHeadBudgets.TaskID AND r.UserId = (SELECT qmk_me()))
                AND HeadId IN (SELECT h.Id FROM defHeads h WHERE h.UserId = (SELECT qmk_me())));
CREATE POLICY shared_read ON tblHeadBudgets FOR SELECT TO qmk_users
    USING (UserId COLLATE "C" IS DISTINCT FROM (SELECT qmk_me())
           AND (TaskID, UserId COLLATE "C") IN (SELECT s.taskid, s.owner COLLATE "C" FROM qmk_shared(false) s));

-- Who saved a plan and when are the server's to say, not the saving program's: a user's insert
-- gets the session's Quillmark name and the server's clock, whatever it sent.
CREATE FUNCTION qmk_plan_stamp() RETURNS trigger LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    IF NOT coalesce((SELECT r.rolsuper FROM pg_roles r WHERE r.rolname = session_user), false) THEN
        NEW.SavedAt := to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"');
        NEW.SavedBy := (SELECT qmk_me());
    END IF;
    RETURN NEW;
END $$;
REVOKE ALL ON FUNCTION qmk_plan_stamp() FROM PUBLIC;
ALTER FUNCTION qmk_plan_stamp() OWNER TO qmk_owner;
CREATE TRIGGER qmk_plan_stamp BEFORE INSERT ON tblBudgetRevisions FOR EACH ROW EXECUTE FUNCTION qmk_plan_stamp();

-- A deleted project's plan goes with it: a later project given the same number starts unplanned.
CREATE FUNCTION qmk_plan_of_deleted() RETURNS trigger LANGUAGE plpgsql
    SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    DELETE FROM tblHeadBudgets WHERE TaskID = OLD.TaskID;
    DELETE FROM tblBudgetRevisions WHERE TaskID = OLD.TaskID;
    RETURN OLD;
END $$;
REVOKE ALL ON FUNCTION qmk_plan_of_deleted() FROM PUBLIC;
ALTER FUNCTION qmk_plan_of_deleted() OWNER TO qmk_owner;
CREATE TRIGGER qmk_plan_of_deleted AFTER DELETE ON tblTasks FOR EACH ROW EXECUTE FUNCTION qmk_plan_of_deleted();
)SQL";

// The columns of each table whose changes are recorded, in the table's order (the first is its
// key), with their kind: i whole number, f amount, d date, t text.
struct Recorded {
    const char *table;
    std::initializer_list<std::pair<const char *, char>> columns;
};
const Recorded kRecorded[] = {
    {"tblTasks", {{"TaskID", 'i'}, {"UserId", 't'}, {"StatusID", 'i'}, {"TaskName", 't'}, {"StartDate", 'd'},
                  {"EndDate", 'd'}, {"CostUpToNow", 'f'}, {"CostPlanned", 'f'}, {"Notes", 't'}}},
    {"tblTransaction", {{"Id", 'i'}, {"UserId", 't'}, {"TransactionDate", 'd'}, {"HeadId", 'i'}, {"AmountIn", 'f'},
                        {"AmountOut", 'f'}, {"Remarks", 't'}, {"TaskID", 'i'}}},
    {"defHeads", {{"Id", 'i'}, {"Heads", 't'}, {"PlusMinus", 'i'}, {"UserId", 't'}}},
    {"tblMembers", {{"TaskID", 'i'}, {"UserId", 't'}, {"Role", 't'}}},
};

// A column of a row as the history keeps it, whatever the session's settings: dates in ISO form,
// amounts to 15 digits as the file writes them, texts exactly (not folded).
QString asText(const QString &row, const char *column, char kind)
{
    const QString value = row + QLatin1Char('.') + QString::fromLatin1(column);
    switch (kind) {
    case 'd': return QStringLiteral("to_char(%1, 'YYYY-MM-DD')").arg(value);
    case 'f': return value + QStringLiteral("::numeric::text");
    case 't': return value + QStringLiteral("::text COLLATE \"C\"");
    default: return value + QStringLiteral("::text");
    }
}

// One function and trigger a table, each naming its columns: far cheaper on every save than one
// function that reads any row generically. An update records only the columns that changed.
QString historyFunctions()
{
    QString script;
    for (const Recorded &r : kRecorded) {
        const QString table = QString::fromLatin1(r.table);
        const QString name = QStringLiteral("qmk_history_") + table.toLower();
        const QString key = QString::fromLatin1(r.columns.begin()->first);
        const bool head = table == QLatin1String("defHeads");
        const auto rows = [&](const QString &row, const QString &kind) {
            QStringList values;
            for (const auto &[column, type] : r.columns)
                values << QStringLiteral("(ev, at, who, '%1', %2.%3, %4, '%5', '%6', %7, %8, %2.UserId)")
                              .arg(table, row, key, head ? QStringLiteral("0") : row + QStringLiteral(".TaskID"), kind,
                                   QString::fromLatin1(column),
                                   kind == QLatin1String("Added") ? QStringLiteral("NULL") : asText(row, column, type),
                                   kind == QLatin1String("Deleted") ? QStringLiteral("NULL") : asText(row, column, type));
            return values.join(QStringLiteral(",\n"));
        };
        QStringList changes;
        int position = 0;
        for (const auto &[column, type] : r.columns)
            changes << QStringLiteral("(%1, '%2', %3, %4)").arg(++position).arg(QString::fromLatin1(column), asText(QStringLiteral("OLD"), column, type),
                                                                   asText(QStringLiteral("NEW"), column, type));
        script += QStringLiteral(R"(
CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    ev bigint;
    at text := to_char(statement_timestamp() AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"');
    who text := coalesce(qmk_me(), session_user::text);
BEGIN
    IF TG_OP = 'UPDATE' AND NEW IS NOT DISTINCT FROM OLD THEN
        RETURN NULL;
    END IF;
    ev := nextval('qmk_history_events');
    IF TG_OP = 'INSERT' THEN
        INSERT INTO tblHistory (Event, ChangedAt, ChangedBy, TableName, RowKey, TaskID, Kind, ColumnName, OldValue,
                                NewValue, RowUserId) VALUES %2;
    ELSIF TG_OP = 'DELETE' THEN
        INSERT INTO tblHistory (Event, ChangedAt, ChangedBy, TableName, RowKey, TaskID, Kind, ColumnName, OldValue,
                                NewValue, RowUserId) VALUES %3;
    ELSE
        INSERT INTO tblHistory (Event, ChangedAt, ChangedBy, TableName, RowKey, TaskID, Kind, ColumnName, OldValue,
                                NewValue, RowUserId)
        SELECT ev, at, who, '%4', NEW.%5, %6, 'Changed', v.c, v.o, v.n, NEW.UserId
        FROM (VALUES %7) AS v (p, c, o, n) WHERE v.o IS DISTINCT FROM v.n ORDER BY v.p;
    END IF;
    RETURN NULL;
END $$;
REVOKE ALL ON FUNCTION %1() FROM PUBLIC;
ALTER FUNCTION %1() OWNER TO qmk_historian;
CREATE TRIGGER qmk_history AFTER INSERT OR UPDATE OR DELETE ON %4 FOR EACH ROW EXECUTE FUNCTION %1();
)")
                      .arg(name, rows(QStringLiteral("NEW"), QStringLiteral("Added")),
                           rows(QStringLiteral("OLD"), QStringLiteral("Deleted")), table, key,
                           head ? QStringLiteral("0") : QStringLiteral("NEW.TaskID"), changes.join(QStringLiteral(", ")));
    }
    return script;
}

}  // namespace

void UpgradeServerTo5(Connection &db) { db.ExecuteScript(QString::fromLatin1(kBudgets)); }

void UpgradeServerTo4(Connection &db)
{
    db.ExecuteScript(QString::fromLatin1(kSharing));
    db.ExecuteScript(historyFunctions());
}

void UpgradeServerTo3(Connection &db)
{
    for (const char *step : {kImports, kKeyRanges})
        db.ExecuteScript(QString::fromLatin1(step));
}

void UpgradeServerTo2(Connection &db)
{
    for (const char *step : {kNames, kKeys, kSessions, kAddUser, kStatistics, kLedgerOrder})
        db.ExecuteScript(QString::fromLatin1(step));
}
