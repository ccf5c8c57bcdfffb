#include "data/Accounts.h"

#include "data/MyFun.h"
#include "data/Passwords.h"

namespace {

const char kMasterSetting[] = "Master password";

// Reads the master login's stored hash into hash (empty when none is set); answers false when it
// cannot be read (no database open, or a file of an earlier version read as it stands).
bool readMasterHash(QString *hash)
{
    hash->clear();
    if (!SharedConnection.IsOpen())
        return false;
    return TryStep([&] {
        CTemplate cls;
        cls.ExecuteSql(QStringLiteral("Select Value from tblSettings Where Name=") +
                       QuoteSql(QString::fromLatin1(kMasterSetting)));
        if (SharedRecordset && !SharedRecordset->Eof())
            *hash = SharedRecordset->Fields(0).toString();
    });
}

// A hash of nothing anyone types, checked when a name is unknown, so that an unknown name takes as
// long to refuse as a wrong password.
const QString &decoyHash()
{
    static const QString hash = HashPassword(QStringLiteral("no user has this password\x01"));
    return hash;
}

}  // namespace

bool MasterPasswordMatches(const QString &typed)
{
    QString hash;
    if (!readMasterHash(&hash) || hash.isEmpty())
        return typed == QLatin1String(kDatabasePassword);
    return PasswordMatches(hash, typed);
}

bool MasterPasswordIsDefault()
{
    QString hash;
    return !readMasterHash(&hash) || hash.isEmpty();
}

FileLogin CheckFileLogin(const QString &userName, const QString &typed)
{
    FileLogin login;
    QString stored;
    qint64 id = 0;
    bool found = false;
    TryStep([&] {
        CTemplate cls;
        cls.ExecuteSql(QStringLiteral("Select * from tblUsers Where UserId=") + QuoteSql(userName));
        if (SharedRecordset && !SharedRecordset->Eof()) {
            found = true;
            stored = SharedRecordset->Fields(QStringLiteral("Passwd")).toString();
            login.userId = SharedRecordset->Fields(QStringLiteral("UserId")).toString();
            id = SharedRecordset->Fields(QStringLiteral("Id")).toInt64();
        }
    });
    if (!found) {
        PasswordMatches(decoyHash(), typed);
        return login;
    }
    login.ok = PasswordMatches(stored, typed);
    // A password an earlier version kept as typed is kept as a hash from now on; a file that is
    // busy or read-only keeps it until a later login.
    if (login.ok && !IsPasswordHash(stored))
        TryStep([&] {
            CTemplate cls;
            cls.ExecuteSql(QStringLiteral("Update tblUsers Set Passwd=") + QuoteSql(HashPassword(typed)) +
                           QStringLiteral(" Where Id=") + QString::number(id));
        });
    return login;
}

bool StoreFilePassword(const QString &userId, const QString &newPassword)
{
    return Reported([&] {
        const QString hash = QuoteSql(HashPassword(newPassword));
        CTemplate cls;
        if (userId == QLatin1String(kMasterUser)) {
            WriteTransaction transaction(SharedConnection);
            const QString name = QuoteSql(QString::fromLatin1(kMasterSetting));
            cls.ExecuteSql(QStringLiteral("Delete from tblSettings Where Name=") + name);
            cls.ExecuteSql(QStringLiteral("INSERT INTO tblSettings (Name,Value) VALUES (") + name +
                           QLatin1Char(',') + hash + QLatin1Char(')'));
            transaction.Commit();
        } else {
            cls.ExecuteSql(QStringLiteral("Update tblUsers Set Passwd=") + hash + QStringLiteral(" Where UserId=") +
                           QuoteSql(userId));
        }
    });
}
