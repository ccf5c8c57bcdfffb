#include "ledger/Steps.h"

#include "data/Engine.h"

#include <QLocale>
#include <cmath>

namespace {
double parseNumber(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    double v = c.toDouble(t, ok);
    if (!*ok)
        v = QLocale::system().toDouble(t, ok);
    return v;
}
}  // namespace

double ToNumber(const QString &text)
{
    bool ok = false;
    const double v = parseNumber(text, &ok);
    if (!ok || !std::isfinite(v))
        throw SqlError(QStringLiteral("Type mismatch"));
    return v;
}

qint32 ToLong(const QString &text)
{
    const double v = std::nearbyint(ToNumber(text));
    if (v < -2147483648.0 || v > 2147483647.0)
        throw SqlError(QStringLiteral("Overflow"));
    return qint32(v);
}

qint16 ToInteger(const QString &text)
{
    const qint32 v = ToLong(text);
    if (v < -32768 || v > 32767)
        throw SqlError(QStringLiteral("Overflow"));
    return qint16(v);
}

bool ReadAmount(const QString &text, double *amount)
{
    bool ok = false;
    const double v = parseNumber(text, &ok);
    if (!ok || !std::isfinite(v) || std::fabs(v) > 1e15)
        return false;
    *amount = v == 0.0 ? 0.0 : v;  // no "-0"
    return true;
}
