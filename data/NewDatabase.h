#pragma once
#include <QString>
#include <QStringList>

// Makes a new database file at path: the five tables, their indexes and the status rows, keyed
// with the database password. With demo, a user "demo" (password "demo") with action heads,
// projects and entries is added. A file that already exists is never touched. Throws SqlError.
void CreateDatabaseFile(const QString &path, bool demo = false);

// The names of the task statuses, in StatusID order from 1. The first means "no filter".
QStringList StatusNames();
