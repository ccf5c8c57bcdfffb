#pragma once
// Passwords of the database file's users: kept as salted, slow hashes (Argon2id), never as typed.
#include <QString>

// The hash of a password as it is stored: a text that holds its own salt and limits.
// Throws SqlError when the hash cannot be made (out of memory).
QString HashPassword(const QString &password);

// True when a stored value is a hash this program makes (a value written by an earlier version
// is the password itself).
bool IsPasswordHash(const QString &stored);

// True when the typed password fits the stored value: checked against the hash, or, for a value
// an earlier version stored as typed, compared exactly.
bool PasswordMatches(const QString &stored, const QString &typed);

// The shortest new password the program accepts.
inline constexpr int kMinPasswordLength = 8;
