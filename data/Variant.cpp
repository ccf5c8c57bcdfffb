#include "data/Variant.h"

#include <QLocale>
#include <cmath>

bool IsWholeNumber(const Variant &v)
{
    switch (v.type()) {
    case Variant::Type::Integer:
        return true;
    case Variant::Type::Double: {
        const double d = v.toDouble();
        return std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 1e15;
    }
    case Variant::Type::Text: {
        const QString t = v.toString();
        const int start = t.startsWith(QLatin1Char('-')) ? 1 : 0;
        if (t.size() <= start || t.size() - start > 15)
            return false;
        for (int i = start; i < t.size(); ++i)
            if (t[i] < QLatin1Char('0') || t[i] > QLatin1Char('9'))
                return false;
        return true;
    }
    default:
        return false;
    }
}

QString FormatNumber(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
    if (value == 0.0)
        return QStringLiteral("0");
    // Whole numbers, and most amounts, need no rewriting: the shortest form with 15 significant
    // digits is already plain when it has no exponent.
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return QString::number(qint64(value));
    // Amounts in cents: when value * 100 is a whole number of at most 15 digits, value lies so
    // close to that number of cents that its 15-digit form is the cents written out.
    const double cents = value * 100;
    if (std::fabs(cents) < 1e15 && cents == std::trunc(cents)) {
        const qint64 c = qint64(cents);
        const qint64 whole = (c < 0 ? -c : c) / 100, frac = (c < 0 ? -c : c) % 100;
        QString out = QString::number(whole);
        if (frac != 0) {
            out += QLatin1Char('.');
            out += QLatin1Char(char('0' + frac / 10));
            if (frac % 10)
                out += QLatin1Char(char('0' + frac % 10));
        }
        return c < 0 ? QLatin1Char('-') + out : out;
    }
    if (std::fabs(value) >= 1e-4 && std::fabs(value) < 1e15) {
        const QString g = QString::number(value, 'g', 15);
        if (!g.contains(QLatin1Char('e')))
            return g;
    }
    // Round to 15 significant digits first, then write the result without an exponent.
    const QString g = QString::number(value, 'e', 14);  // d.dddddddddddddde±XX
    const int ePos = g.indexOf(QLatin1Char('e'));
    const bool negative = g.startsWith(QLatin1Char('-'));
    QString mantissa = g.left(ePos);
    if (negative)
        mantissa.remove(0, 1);
    mantissa.remove(QLatin1Char('.'));
    const int exponent = g.mid(ePos + 1).toInt();
    while (mantissa.size() > 1 && mantissa.endsWith(QLatin1Char('0')))
        mantissa.chop(1);
    QString out;
    if (exponent >= 0) {
        const int intDigits = exponent + 1;
        if (mantissa.size() <= intDigits) {
            out = mantissa + QString(intDigits - mantissa.size(), QLatin1Char('0'));
        } else {
            out = mantissa.left(intDigits) + QLatin1Char('.') + mantissa.mid(intDigits);
        }
    } else {
        out = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + mantissa;
    }
    return negative ? QLatin1Char('-') + out : out;
}

QString FormatFixed2(double value)
{
    QString s = QString::number(value, 'f', 2);
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

QString FormatDate(const QDate &date)
{
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (!date.isValid() || y < 1 || y > 9999)
        return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
    // Written digit by digit: the ledger formats one date a row, tens of thousands at a time.
    const char16_t text[10] = {char16_t(u'0' + d / 10), char16_t(u'0' + d % 10), u'/', char16_t(u'0' + m / 10),
                               char16_t(u'0' + m % 10), u'/', char16_t(u'0' + y / 1000), char16_t(u'0' + y / 100 % 10),
                               char16_t(u'0' + y / 10 % 10), char16_t(u'0' + y % 10)};
    return QString(reinterpret_cast<const QChar *>(text), 10);
}

QString DateLiteral(const QDate &date) { return QLatin1Char('#') + FormatDate(date) + QLatin1Char('#'); }

bool ReadNumber(const QString &text, double *value, bool pointOnly)
{
    const QString t = text.trimmed();
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = c.toDouble(t, &ok);
    if (!ok && !pointOnly)
        v = QLocale().toDouble(t, &ok);
    if (ok)
        *value = v;
    return ok;
}

QDate ParseShortDate(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('/'));
    if (parts.size() != 3 || parts[2].size() != 4)
        return {};
    bool okD = false, okM = false, okY = false;
    const int d = parts[0].toInt(&okD), m = parts[1].toInt(&okM), y = parts[2].toInt(&okY);
    if (!okD || !okM || !okY || parts[0].size() > 2 || parts[1].size() > 2)
        return {};
    return QDate(y, m, d);
}

QString Variant::toString() const
{
    switch (m_type) {
    case Type::Empty:
    case Type::Null: return {};
    case Type::Integer: return QString::number(m_int);
    case Type::Double: return FormatNumber(m_double);
    case Type::Text: return m_text;
    case Type::Date: return FormatDate(m_date);
    }
    return {};
}

double Variant::toDouble(bool *ok) const
{
    bool good = true;
    double r = 0.0;
    switch (m_type) {
    case Type::Integer: r = double(m_int); break;
    case Type::Double: r = m_double; break;
    case Type::Text: r = m_text.trimmed().toDouble(&good); break;
    case Type::Empty: r = 0.0; break;
    case Type::Null:
    case Type::Date: good = false; break;
    }
    if (ok)
        *ok = good;
    return good ? r : 0.0;
}

std::int64_t Variant::toInt64(bool *ok) const
{
    if (m_type == Type::Integer) {
        if (ok)
            *ok = true;
        return m_int;
    }
    bool good = false;
    const double d = toDouble(&good);
    good = good && std::isfinite(d) && std::fabs(d) < 9.2e18;
    if (ok)
        *ok = good;
    return good ? std::int64_t(std::llround(d)) : 0;
}

QDate Variant::toDate() const
{
    if (m_type == Type::Date)
        return m_date;
    if (m_type == Type::Text) {
        const QDate iso = QDate::fromString(m_text, Qt::ISODate);
        return iso.isValid() ? iso : ParseShortDate(m_text);
    }
    return {};
}

bool Variant::operator==(const Variant &o) const
{
    if (m_type != o.m_type)
        return false;
    switch (m_type) {
    case Type::Empty:
    case Type::Null: return true;
    case Type::Integer: return m_int == o.m_int;
    case Type::Double: return m_double == o.m_double;
    case Type::Text: return m_text == o.m_text;
    case Type::Date: return m_date == o.m_date;
    }
    return false;
}

QString BalanceWord(double received, double spent)
{
    const double shownSpent = FormatNumber(spent).toDouble(), shownReceived = FormatNumber(received).toDouble();
    if (shownSpent > shownReceived)
        return QStringLiteral("Debit of ");
    return shownSpent == shownReceived ? QStringLiteral("Balanced") : QStringLiteral("Credit of");
}

QString BalanceWordFormula(const QString &receivedCell, const QString &spentCell)
{
    return QStringLiteral("=IF(%2>%1,\"Debit of\",IF(%2=%1,\"Balanced\",\"Credit of\"))").arg(receivedCell, spentCell);
}
