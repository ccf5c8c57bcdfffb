// The date-literal rewrite on any statement text: it rewrites or refuses with SqlError, never
// crashes; a statement without "#" outside quoted text is left as it is; each "#" pair it removes
// becomes a pair of quotes; and what it returns holds nothing left to rewrite.
#include "data/Engine.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString in = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    bool quoted = false, hashOutside = false;
    for (const QChar ch : in) {
        quoted = quoted != (ch == QLatin1Char('\''));
        hashOutside = hashOutside || (!quoted && ch == QLatin1Char('#'));
    }
    QString out;
    try {
        out = RewriteDialect(in);
    } catch (const SqlError &) {
        if (!hashOutside)
            std::abort();
        return 0;
    }
    const auto count = [](const QString &s, char c) { return s.count(QLatin1Char(c)); };
    if ((!hashOutside && out != in) || count(out, '\'') - count(in, '\'') != count(in, '#') - count(out, '#') ||
        RewriteDialect(out) != out)
        std::abort();
    return 0;
}
