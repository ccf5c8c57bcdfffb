#pragma once
// Process-wide state of a run and the two helpers the record writers and windows share.
#include "data/CTemplate.h"
#include "data/Engine.h"
#include "data/Variant.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

// The one database connection of the process: the file, opened at start-up, or the server, opened
// by each login as that user's own role (replacing the one before). It is closed when the
// program ends, so that the file alone holds every change.
extern Connection SharedConnection;
// The current result: the cursor of the most recent ExecuteSql, or nothing.
extern std::shared_ptr<Recordset> SharedRecordset;
// The shared data access object used by start-up and by key allocation.
extern CTemplate DataAccess;
// The name of the logged-in user ("sysop" for the master login; empty when nobody is).
extern QString CurrentUserId;
// The application title, set at start-up.
extern QString AppTitle;
// The connection text of the database server in use (libpq's form); empty while the program uses
// its database file. On a server, the login dialog opens the connection, as the user's own role.
extern QString ServerConnection;

// The title the program sets at start-up.
inline const char *const kAppTitle = "Quillmark v1.0 DEMO";
// The master user's name; it logs in with the database password.
inline const char *const kMasterUser = "sysop";
// The database file's password.
inline const char *const kDatabasePassword = "quorvandelix";
// The database file's name in the program's folder.
inline const char *const kDatabaseFileName = "qmk.dat";
// The file in the program's folder that names a database server to use instead (one line).
inline const char *const kServerFileName = "qmk.server";

// The largest key a table gives: keys are whole numbers of 32 bits.
inline constexpr std::int32_t kLargestKey = 2147483647;
// The next key of a table: its largest key plus 1, or 1 when it has none; at most kLargestKey.
// On a failure the "Error" box is shown and the answer is 0.
std::int32_t GetNextId(const QString &tblName, const QString &idField);
// The same key, for a writer that holds a transaction: a failure is thrown (DatabaseBusy when
// another program holds the database), so that the writer ends its transaction before anyone
// is told.
std::int32_t NextKey(const QString &tblName, const QString &idField);

// The delimiter between the items of a field or value list.
inline const QString kListDelimiter = QStringLiteral("<<>>");
// A field or value list: the items joined by kListDelimiter.
QString JoinList(const QStringList &items);

// True when a text is empty or made only of spaces.
bool IsBlank(const QString &text);

// A text as an SQL literal: quoted, inner quotes doubled; a blank or null value gives ' '.
QString QuoteSql(const Variant &value);
QString QuoteSql(const QString &value);

// Closes the connection and forgets the current result and user; for tests and tools that
// open several files in one process.
void ResetProcessState();
