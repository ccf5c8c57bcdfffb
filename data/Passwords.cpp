#include "data/Passwords.h"

#include "data/Failure.h"

#include <sodium.h>

#include <mutex>

namespace {

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw SqlError(QStringLiteral("The password library could not be started."));
    });
}

const char kPrefix[] = "$argon2id$";

}  // namespace

QString HashPassword(const QString &password)
{
    initialise();
    const QByteArray typed = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, typed.constData(), size_t(typed.size()), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw SqlError(QStringLiteral("The password could not be stored: out of memory."));
    return QString::fromLatin1(out);
}

bool IsPasswordHash(const QString &stored) { return stored.startsWith(QLatin1String(kPrefix)); }

bool PasswordMatches(const QString &stored, const QString &typed)
{
    if (!IsPasswordHash(stored))
        return !stored.isEmpty() && stored == typed;
    initialise();
    const QByteArray hash = stored.toLatin1();
    const QByteArray text = typed.toUtf8();
    // A stored hash longer than the library's form is no hash of ours (and must not be read past).
    if (hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(hash.constData(), text.constData(), size_t(text.size())) == 0;
}
