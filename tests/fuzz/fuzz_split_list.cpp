// The value-list splitter with QuoteSql on any texts t and u (the input split at its first NUL):
// splitting loses nothing, QuoteSql(t) reads back as t, and the two quoted texts joined by "<<>>"
// split into exactly those two items, whatever quotes or delimiters they hold.
#include "data/CTemplate.h"
#include "data/MyFun.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    const QString delim = QStringLiteral("<<>>");
    const QString whole = QString::fromUtf8(text, qsizetype(size));
    if (SplitList(whole, delim).join(delim) != whole)
        std::abort();

    const void *nul = std::memchr(data, 0, size);
    const std::size_t tSize = nul ? std::size_t(static_cast<const std::uint8_t *>(nul) - data) : size;
    const QString t = QString::fromUtf8(text, qsizetype(tSize));
    const QString u = nul ? QString::fromUtf8(text + tSize + 1, qsizetype(size - tSize - 1)) : QString();
    const QString qt = QuoteSql(t), qu = QuoteSql(u);
    QString inner = qt.mid(1, qt.size() - 2);
    if (!qt.startsWith(QLatin1Char('\'')) || !qt.endsWith(QLatin1Char('\'')) ||
        inner.replace(QLatin1String("''"), QLatin1String("'")) != (IsBlank(t) ? QStringLiteral(" ") : t))
        std::abort();
    if (SplitList(qt + delim + qu, delim) != QStringList{qt, qu})
        std::abort();
    return 0;
}
