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
