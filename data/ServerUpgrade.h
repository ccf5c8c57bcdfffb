#pragma once
// Steps that bring a Quillmark server database made by an earlier version up to date.

class Connection;

// Turns a version-1 server database into version 2, run as the server's superuser inside the
// caller's transaction: keys are given only by the server's key function and checked when a row
// is written; the key lock is a row no member can take, and a member's session that holds it
// idle is ended; members' sessions are limited in number and time; no statistics describe the
// values of amounts, dates, names or remarks; users are added only with a well-formed SCRAM
// verifier and a name the server does not keep for itself. Throws SqlError.
void UpgradeServerTo2(Connection &db);

// Turns a version-2 server database into version 3, as UpgradeServerTo2 is run: the tables of
// imported entries (batches, the bank ids, fingerprints and stamps of their entries, the users'
// head rules and table mappings), each user's rows kept apart by the same row policies as the
// ledger's; and keys taken together: qmk_take_keys grants a whole range of a table's keys under
// the allocator's lock, and a row written by a member may carry any key of a range granted to its
// own transaction. Throws SqlError.
void UpgradeServerTo3(Connection &db);

// Turns a version-3 server database into version 4, as UpgradeServerTo2 is run: projects shared
// with members as viewers or editors, enforced by the row policies, and the history of every change
// of projects, entries, heads and memberships, written by triggers owned by qmk_historian, which
// nobody logs in as, and which no program role can change. Throws SqlError.
void UpgradeServerTo4(Connection &db);

// Turns a version-4 server database into version 5, as UpgradeServerTo2 is run: projects planned
// by their heads, revision by revision; only a project's owner adds a plan, its members read it,
// no saved revision is changed or deleted but with its project. Throws SqlError.
void UpgradeServerTo5(Connection &db);
