#pragma once
// qmk-import's import into a project: log in as the user (file or server), read the statement,
// head its lines by the user's rules (and the suggestions from their history), skip what is
// already there, and write the rest as one batch.
#include "import/Tabular.h"

#include <QString>
#include <optional>

struct ImportCommand {
    QString user;
    qint32 project = 0;
    QString server;        // libpq's connection text; empty for the database file
    QString database;      // the database file; empty for the program folder's qmk.dat
    QString passwordFile;  // empty: asked on the terminal
    QString profile;       // a saved table mapping of the user, by name
    QString head;          // the head for lines no rule or suggestion covers
    QString file;
};

// Logs in as the command's user; answers false after saying why on standard error.
bool LogIn(const ImportCommand &command);
// The mapping saved under the name for the logged-in user; nothing (after saying so) when none.
std::optional<import::TabularMapping> SavedMapping(const QString &name);
// Imports the statement; answers the exit status (0, 1 when nothing could be written, 2 when the
// file cannot be read).
int RunImport(const ImportCommand &command);
