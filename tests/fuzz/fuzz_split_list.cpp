// The value-list splitter with QuoteSql on any texts t and u (the input split at its first NUL):
// splitting loses nothing, QuoteSql(t) reads back as t, and the two quoted texts joined by "<<>>"
// split into exactly those two items, whatever quotes or delimiters they hold.
#include "data/CTemplate.h"
#include "data/MyFun.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString delim = QStringLiteral("<<>>");
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString whole = QString::fromUtf8(bytes);
    const qsizetype nul = bytes.indexOf('\0');
    const QString t = QString::fromUtf8(bytes.left(nul < 0 ? bytes.size() : nul));
    const QString u = nul < 0 ? QString() : QString::fromUtf8(bytes.mid(nul + 1));
    const QString qt = QuoteSql(t), qu = QuoteSql(u);
    QString inner = qt.mid(1, qt.size() - 2);
    if (SplitList(whole, delim).join(delim) != whole || !qt.startsWith(QLatin1Char('\'')) ||
        !qt.endsWith(QLatin1Char('\'')) ||
        inner.replace(QLatin1String("''"), QLatin1String("'")) != (IsBlank(t) ? QStringLiteral(" ") : t) ||
        SplitList(qt + delim + qu, delim) != QStringList{qt, qu})
        std::abort();
    return 0;
}
