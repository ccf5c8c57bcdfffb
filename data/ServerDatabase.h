#pragma once
// Quillmark on a PostgreSQL server: laying out a new database, logging in, adding users.
#include "data/NewDatabase.h"

#include <QString>
#include <memory>

class PgEngine;
class IEngine;

// The version of the server's tables, functions and policies that this program makes and works
// with; a database records it in its table qmk_schema (version 1 had no such table).
inline constexpr int kServerSchemaVersion = 5;

// Lays out Quillmark in the empty server database that conninfo names, logged in as an
// administrator of the server (role and password; an empty password lets libpq find its own,
// as for a local superuser). Makes the tables, indexes, statuses, roles, functions and row
// policies, and the master role "sysop" with sysopPassword. A sample user ("demo" or "large")
// gets samplePassword. A database that holds Quillmark's tables, or a server that has its
// roles already, is refused and left as it is. Answers where it was laid out, said for the user
// (with whether the connection was encrypted). Throws SqlError.
QString CreateServerDatabase(const QString &conninfo, const QString &adminRole, const QString &adminPassword,
                          const QString &sysopPassword, Sample sample = Sample::None,
                          const QString &samplePassword = QString(), int version = kServerSchemaVersion);

// The server role a Quillmark user logs in as: the master login's own, else the name in small letters.
QString ServerRoleOf(const QString &userName);

// Why the server cannot have a user of this name (empty when it can): names it or Quillmark
// reserves, in any letter case, and names longer than it allows.
QString ServerNameProblem(const QString &userName);

// What adding a user on the server came to.
enum class AddUserOutcome { Added, Exists, Refused };
// Adds a user through the server's one function for it, as the master login. Refused comes with
// the reason in why. Throws SqlError when the server cannot be asked.
AddUserOutcome AddServerUser(PgEngine &sysop, const QString &userName, const QString &password, QString *why = nullptr);

// Gives the role the connection is logged in as a new password, sent as a SCRAM-SHA-256 verifier
// made in the program; the connection logs in with it from then on. Throws SqlError.
void ChangeServerPassword(PgEngine &own, const QString &password);

// The version of the server database the connection is on.
int ServerSchemaVersion(IEngine &db);
// Why nobody may log in to the server database with this program (its version differs: the
// text names the command that upgrades it); empty when its version is this program's.
QString ServerSchemaProblem(IEngine &db, const QString &conninfo);
// Brings the server database up to this program's version in one transaction, as the server's
// superuser; answers the version it had. Throws SqlError (a database of a later version, or none).
int UpgradeServerDatabase(const QString &conninfo, const QString &adminRole, const QString &adminPassword);
