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
    const qsizetype nul = bytes.contains('\0') ? bytes.indexOf('\0') : bytes.size();
    const QString whole = QString::fromUtf8(bytes), t = QString::fromUtf8(bytes.left(nul)), qt = QuoteSql(t);
    const QString qu = QuoteSql(QString::fromUtf8(bytes.mid(nul + 1)));
    if (SplitList(whole, delim).join(delim) != whole || qt.size() < 2 ||
        qt.front() != '\'' || qt.back() != '\'' || SplitList(qt + delim + qu, delim) != QStringList{qt, qu} ||
        qt.mid(1, qt.size() - 2).replace(QLatin1String("''"), QLatin1String("'")) != (IsBlank(t) ? " " : t))
        std::abort();
    return 0;
}
