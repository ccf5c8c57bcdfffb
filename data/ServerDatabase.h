#pragma once
// Quillmark on a PostgreSQL server: laying out a new database, logging in, adding users.
#include "data/NewDatabase.h"

#include <QString>
#include <memory>

class PgEngine;

// Lays out Quillmark in the empty server database that conninfo names, logged in as an
// administrator of the server (role and password; an empty password lets libpq find its own,
// as for a local superuser). Makes the tables, indexes, statuses, roles, functions and row
// policies, and the master role "sysop" with sysopPassword. A sample user ("demo" or "large")
// gets samplePassword. A database that holds Quillmark's tables, or a server that has its
// roles already, is refused and left as it is. Answers where it was laid out, said for the user
// (with whether the connection was encrypted). Throws SqlError.
QString CreateServerDatabase(const QString &conninfo, const QString &adminRole, const QString &adminPassword,
                          const QString &sysopPassword, Sample sample = Sample::None,
                          const QString &samplePassword = QString());

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
