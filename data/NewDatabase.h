#pragma once
#include <QString>
#include <QStringList>

// Makes a new database file at path: the five tables, their indexes and the status rows, keyed
// with the database password. With demo, a user "demo" (password "demo") with action heads,
// projects and entries is added. A file that already exists is never touched. Throws SqlError.
void CreateDatabaseFile(const QString &path, bool demo = false);

// What a new file holds besides its status rows: nothing, the demo user "demo" with a few
// projects, or the user "large" (password "large") with 32,767 projects, the first of which
// holds 32,766 entries (the largest sizes keys of 16 bits allowed), or the user "huge" (password
// "huge") with 100,000 projects and 1,000,000 entries, 200,000 of them in project 1: the sizes a
// team reaches, for benchmarks and for trying the windows at their largest.
enum class Sample { None, Demo, Large, Huge };
// The sample user's name, which is also its password ("demo", "large", "huge"); empty for None.
QString SampleUser(Sample sample);
void CreateDatabaseFile(const QString &path, Sample sample);
// The same, laid out as the given schema version had it (for tests of the upgrade).
void CreateDatabaseFile(const QString &path, Sample sample, int version);

// The version of the file's tables that this program makes and reads; the file records it as its
// user_version (files of version 1 record 0).
inline constexpr int kFileSchemaVersion = 5;
// The program's name and version as a quoted literal, recorded in the file's settings by the
// program that lays it out or upgrades it.
QString QuotedProgramName();
// The scripts that bring a file of the given version up to kFileSchemaVersion, in order.
QStringList FileUpgradeSteps(int fromVersion);

// The triggers stored in the file that record every change of projects, entries, heads and
// memberships in tblHistory (one row a column, sharing an Event), and that drop a deleted
// project's memberships. They name the user through qmk_user(), which each connection registers.
QStringList FileHistoryTriggers();
// The triggers stored in the file that keep the projects' plans: a deleted project's plan goes
// with it, and a saved revision is never changed or deleted while its project is there.
QStringList FilePlanTriggers();

class Connection;
// The demo user's heads, projects and entries (and with withUserRow its row of tblUsers).
void AddDemoData(Connection &db, bool withUserRow);
// The demo user's plans by head (a baseline and a revision), for a database whose tables have them.
void AddDemoPlans(Connection &db);

// The names of the task statuses, in StatusID order from 1. The first means "no filter".
QStringList StatusNames();

// True when a row of the file's schema (its type, name and statement text) is one of the tables
// and indexes a Quillmark file is made with, one of its history triggers, or an index the engine
// made for one of them.
bool IsOwnSchemaObject(const QString &type, const QString &name, const QString &sql);
