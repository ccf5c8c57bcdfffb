// The amount and date rules shared by every reader of text: how a bank writes a number or a
// date, and which readings a whole column allows.
#include "import/Tabular.h"

#include <QRegularExpression>
#include <QVector>

namespace import {

namespace {

bool IsBlank(QChar c)
{
    // NBSP, narrow NBSP, thin and figure spaces are how many banks group thousands.
    return c.isSpace() || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009) || c == QChar(0x2007);
}

bool IsMinus(QChar c) { return c == QLatin1Char('-') || c == QChar(0x2212) || c == QChar(0x2013); }

QString TrimBlanks(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && IsBlank(text.at(from))) ++from;
    while (to > from && IsBlank(text.at(to - 1))) --to;
    return text.mid(from, to - from);
}

bool IsAsciiUpper(QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); }

// The kind of a grouping separator: every space counts as one kind, so do both apostrophes.
int GroupKind(QChar c)
{
    if (IsBlank(c)) return 1;
    if (c == QLatin1Char('\'') || c == QChar(0x2019)) return 2;
    if (c == QLatin1Char('.')) return 3;
    if (c == QLatin1Char(',')) return 4;
    return 0;
}

}  // namespace

std::optional<double> ParseAmount(const QString &text, QChar decimalMark)
{
    QString s = TrimBlanks(text);
    int signs = 0, currencies = 0;
    bool negative = false;
    // Peel signs, parentheses and currency signs or codes off both ends until only the number is left.
    for (bool changed = true; changed && !s.isEmpty();) {
        changed = false;
        const QChar first = s.front(), last = s.back();
        if (first.category() == QChar::Symbol_Currency) {
            s.remove(0, 1), ++currencies, changed = true;
        } else if (last.category() == QChar::Symbol_Currency) {
            s.chop(1), ++currencies, changed = true;
        } else if (s.size() > 3 && IsAsciiUpper(s[0]) && IsAsciiUpper(s[1]) && IsAsciiUpper(s[2]) && !s[3].isLetter()) {
            s.remove(0, 3), ++currencies, changed = true;  // an ISO code in front: "USD -3.00"
        } else if (s.size() > 3 && IsAsciiUpper(last) && IsAsciiUpper(s[s.size() - 2]) && IsAsciiUpper(s[s.size() - 3])
                   && !s[s.size() - 4].isLetter()) {
            s.chop(3), ++currencies, changed = true;  // an ISO code behind: "1.234,56 EUR"
        } else if (first == QLatin1Char('+') || IsMinus(first)) {
            negative = IsMinus(first), ++signs, s.remove(0, 1), changed = true;
        } else if (last == QLatin1Char('+') || IsMinus(last)) {
            negative = IsMinus(last), ++signs, s.chop(1), changed = true;
        } else if (first == QLatin1Char('(') && last == QLatin1Char(')') && s.size() > 2) {
            negative = true, ++signs, s = s.mid(1, s.size() - 2), changed = true;
        }
        if (changed) s = TrimBlanks(s);
    }
    if (signs > 1 || currencies > 1 || s.isEmpty()) return std::nullopt;

    const qsizetype mark = s.indexOf(decimalMark);
    if (mark >= 0 && s.lastIndexOf(decimalMark) != mark) return std::nullopt;  // "1.2.3" with '.'
    const QString whole = mark >= 0 ? s.left(mark) : s;
    const QString fraction = mark >= 0 ? s.mid(mark + 1) : QString();
    for (QChar c : fraction)
        if (!c.isDigit() || c.unicode() > 127) return std::nullopt;

    // The whole part: digits, grouped by threes with one kind of separator when grouped at all.
    QString digits;
    int kind = 0, groupLength = 0, groups = 0;
    for (QChar c : whole) {
        if (c.isDigit() && c.unicode() < 128) {
            digits += c, ++groupLength;
            continue;
        }
        const int k = GroupKind(c);
        if (k == 0 || c == decimalMark || (kind && k != kind)) return std::nullopt;
        if (groupLength == 0 || (groups == 0 && groupLength > 3) || (groups > 0 && groupLength != 3))
            return std::nullopt;
        kind = k, ++groups, groupLength = 0;
    }
    if (groups > 0 && groupLength != 3) return std::nullopt;
    if (digits.isEmpty() && fraction.isEmpty()) return std::nullopt;

    bool ok = false;
    const double value = (digits.isEmpty() ? QStringLiteral("0") : digits).append(QLatin1Char('.')).append(fraction)
                             .toDouble(&ok);
    if (!ok) return std::nullopt;
    return negative && value != 0 ? -value : value;
}

QList<QChar> DecimalMarksFor(const QStringList &texts)
{
    const QChar dot(QLatin1Char('.')), comma(QLatin1Char(','));
    bool dotReads = true, commaReads = true, differ = false, any = false;
    int dots = 0, commas = 0;
    for (const QString &text : texts) {
        if (TrimBlanks(text).isEmpty()) continue;
        any = true;
        const auto withDot = ParseAmount(text, dot), withComma = ParseAmount(text, comma);
        dotReads = dotReads && withDot;
        commaReads = commaReads && withComma;
        if (withDot && withComma && *withDot != *withComma) differ = true;
        dots += text.count(dot), commas += text.count(comma);
    }
    if (!any) return {};
    if (dotReads && commaReads) {
        if (!differ) return {dot};  // every value reads the same either way: nothing to choose
        // Every value is like "1.000": a currency rarely has three decimals, so the mark that is
        // written is likelier a thousands separator.
        return dots >= commas ? QList<QChar>{comma, dot} : QList<QChar>{dot, comma};
    }
    if (dotReads) return {dot};
    if (commaReads) return {comma};
    return {};
}

namespace {

int MonthFromName(const QString &name)
{
    static const char *const names[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString lower = name.toLower();
    if (lower.size() < 3) return 0;
    static const QStringList full = {QStringLiteral("january"), QStringLiteral("february"), QStringLiteral("march"),
                                     QStringLiteral("april"), QStringLiteral("may"), QStringLiteral("june"),
                                     QStringLiteral("july"), QStringLiteral("august"), QStringLiteral("september"),
                                     QStringLiteral("october"), QStringLiteral("november"), QStringLiteral("december")};
    for (int m = 0; m < 12; ++m) {
        if (lower == QLatin1String(names[m]) || lower == full[m] || (m == 8 && lower == QLatin1String("sept")))
            return m + 1;
    }
    return 0;
}

// Reads exactly `count` digits, or between 1 and 2 when count is 0.
bool TakeNumber(const QString &text, qsizetype &pos, int count, int &value)
{
    const int most = count ? count : 2;
    int taken = 0;
    value = 0;
    while (taken < most && pos < text.size() && text[pos].isDigit() && text[pos].unicode() < 128) {
        value = value * 10 + text[pos].digitValue();
        ++pos, ++taken;
    }
    return count ? taken == count : taken >= 1;
}

}  // namespace

std::optional<QDate> ParseDate(const QString &input, const QString &format)
{
    const QString text = TrimBlanks(input);
    qsizetype pos = 0, f = 0;
    int day = -1, month = -1, year = -1, value = 0;
    bool timed = false;
    while (f < format.size()) {
        const QChar c = format[f];
        qsizetype run = 1;
        while (f + run < format.size() && format[f + run] == c) ++run;
        if (c == QLatin1Char('d') && run <= 2) {
            if (!TakeNumber(text, pos, run == 2 ? 2 : 0, day)) return std::nullopt;
        } else if (c == QLatin1Char('M') && run <= 2) {
            if (!TakeNumber(text, pos, run == 2 ? 2 : 0, month)) return std::nullopt;
        } else if (c == QLatin1Char('M') && run >= 3) {
            const qsizetype start = pos;
            while (pos < text.size() && text[pos].isLetter()) ++pos;
            month = MonthFromName(text.mid(start, pos - start));
            if (!month) return std::nullopt;
        } else if (c == QLatin1Char('y') && (run == 2 || run == 4)) {
            if (!TakeNumber(text, pos, int(run), year)) return std::nullopt;
            if (run == 2) {
                // Two-digit years are this century unless that is more than 20 years ahead.
                year += 2000;
                if (year > QDate::currentDate().year() + 20) year -= 100;
            }
        } else if ((c == QLatin1Char('H') || c == QLatin1Char('m') || c == QLatin1Char('s')) && run == 2) {
            const int most = c == QLatin1Char('H') ? 23 : 59;
            if (!TakeNumber(text, pos, 2, value) || value > most) return std::nullopt;
            timed = true;
        } else {
            for (qsizetype i = 0; i < run; ++i, ++pos) {
                if (pos >= text.size()) return std::nullopt;
                const bool space = c == QLatin1Char(' ');
                if (space ? !IsBlank(text[pos]) : text[pos] != c) return std::nullopt;
            }
        }
        f += run;
    }
    if (pos < text.size()) {
        // A timestamp may carry fractions of a second and a time zone.
        static const QRegularExpression tail(QStringLiteral("^(\\.\\d+)?(Z|[+-]\\d\\d:?\\d\\d)?$"));
        if (!timed || !tail.match(QStringView(text).mid(pos)).hasMatch()) return std::nullopt;
    }
    const QDate date(year, month, day);
    if (!date.isValid()) return std::nullopt;
    return date;
}

const QStringList &DateFormatCandidates()
{
    // The formats tried, in the order proposed when several read every value. Where a column is
    // ambiguous between day-first and month-first (01/02/2024) the day-first reading comes first,
    // as most of the world writes it; the user picks the other where that is wrong.
    static const QStringList formats = {
        QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd.MM.yyyy"), QStringLiteral("d.M.yyyy"),
        QStringLiteral("dd.MM.yy"), QStringLiteral("d.M.yy"), QStringLiteral("dd/MM/yyyy"), QStringLiteral("MM/dd/yyyy"),
        QStringLiteral("d/M/yyyy"), QStringLiteral("M/d/yyyy"), QStringLiteral("dd/MM/yy"),
        QStringLiteral("MM/dd/yy"), QStringLiteral("d/M/yy"), QStringLiteral("M/d/yy"), QStringLiteral("dd-MM-yyyy"), QStringLiteral("yyyyMMdd"),
        QStringLiteral("yyyy/MM/dd"), QStringLiteral("d-MMM-yyyy"), QStringLiteral("dd MMM yyyy"),
        QStringLiteral("d MMM yyyy"), QStringLiteral("yyyy-MM-ddTHH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm:ss"),
        QStringLiteral("dd.MM.yyyy HH:mm:ss"), QStringLiteral("dd.MM.yyyy HH:mm"),
    };
    return formats;
}

QStringList DateFormatsFor(const QStringList &texts)
{
    QStringList values;
    for (const QString &text : texts)
        if (!TrimBlanks(text).isEmpty()) values << text;
    if (values.isEmpty()) return {};
    QStringList result;
    QList<QVector<QDate>> readings;  // a format that reads every value as an earlier one did adds no choice
    for (const QString &format : DateFormatCandidates()) {
        QVector<QDate> dates;
        for (const QString &value : values) {
            const auto date = ParseDate(value, format);
            if (!date) break;
            dates << *date;
        }
        if (dates.size() != values.size() || readings.contains(dates)) continue;
        readings << dates;
        result << format;
    }
    return result;
}

}  // namespace import
