#pragma once
// Checking and changing the passwords of the database file's logins. Every password is kept as a
// hash (data/Passwords.h); a value an earlier version stored as typed is accepted once and then
// replaced by its hash.
#include <QString>

// What a login on the database file came to.
struct FileLogin {
    bool ok = false;
    QString userId;  // the name as stored (the master login's own name for the master)
};

// True when the typed password is the master login's: its hash in the file's settings, or, while
// none has been set, the password every copy of the program has. A file whose settings cannot be
// read (not open, or of an earlier version that could not be upgraded) takes the default.
bool MasterPasswordMatches(const QString &typed);
// True while the master login of the open file still has the password every copy of the program has.
bool MasterPasswordIsDefault();

// Looks the user up by name and checks the typed password in the program; a password stored as
// typed is replaced by its hash after it matched. A lookup that cannot be run counts as no match.
FileLogin CheckFileLogin(const QString &userName, const QString &typed);

// Stores a new password for a login of the file: the master's in the settings, a user's in its
// row of tblUsers. Failures are reported (the "Error" box, or the busy box); answers whether it
// was stored.
bool StoreFilePassword(const QString &userId, const QString &newPassword);
