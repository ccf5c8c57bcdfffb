#pragma once
#include <QDate>
#include <QString>
#include <cstdint>

// The one value type that crosses the data layer: what a cursor field holds,
// what CodeDecode answers and what the writers take as a key.
class Variant {
public:
    enum class Type { Empty, Null, Integer, Double, Text, Date };

    Variant() = default;
    static Variant null() { Variant v; v.m_type = Type::Null; return v; }
    Variant(int v) : m_type(Type::Integer), m_int(v) {}
    Variant(long v) : m_type(Type::Integer), m_int(v) {}
    Variant(long long v) : m_type(Type::Integer), m_int(std::int64_t(v)) {}
    Variant(double v) : m_type(Type::Double), m_double(v) {}
    Variant(const QString &v) : m_type(Type::Text), m_text(v) {}
    Variant(const char *v) : m_type(Type::Text), m_text(QString::fromUtf8(v)) {}
    Variant(const QDate &v) : m_type(Type::Date), m_date(v) {}

    Type type() const { return m_type; }
    bool isEmpty() const { return m_type == Type::Empty; }
    bool isNull() const { return m_type == Type::Null; }
    bool isNumber() const { return m_type == Type::Integer || m_type == Type::Double; }

    // Plain text form: numbers with at most 15 significant digits and no trailing zeros,
    // dates DD/MM/YYYY, empty and null as empty text.
    QString toString() const;
    // Whole number (doubles are rounded half away from zero); text is read as a number.
    std::int64_t toInt64(bool *ok = nullptr) const;
    double toDouble(bool *ok = nullptr) const;
    QDate toDate() const;

    bool operator==(const Variant &o) const;
    bool operator!=(const Variant &o) const { return !(*this == o); }

private:
    Type m_type = Type::Empty;
    std::int64_t m_int = 0;
    double m_double = 0.0;
    QString m_text;
    QDate m_date;
};

// True when a value read from the file is a whole number (an integer, a double without a fraction, or
// a text of digits with an optional minus sign): only such a value may be put into a statement as a
// key, since a file that anyone may write can hold any text where a number belongs.
bool IsWholeNumber(const Variant &v);

// A number in its plain text form ("12.5", "100", "-0.25"), point as decimal separator.
QString FormatNumber(double value);
// Reads a number as a user types it or a window shows it, blanks around it ignored: with a point
// as decimal separator and no grouping, or, unless pointOnly, in the user's locale's own form
// (grouping included). Answers false, leaving value alone, when the text is no number.
bool ReadNumber(const QString &text, double *value, bool pointOnly = false);
// The word beside a project's balance: "Debit of " (with its blank), "Balanced" or "Credit of",
// comparing the totals as the ledger shows them, after their 15-digit form. The window, the
// printed ledger and the workbook all say it by this one rule.
QString BalanceWord(double received, double spent);
// The same rule as a spreadsheet formula over the cells of the two totals (its words without the
// trailing blank).
QString BalanceWordFormula(const QString &receivedCell, const QString &spentCell);
// A number with exactly two decimals ("0.00"), as totals and balances are shown.
QString FormatFixed2(double value);
// A date in the program's short form, DD/MM/YYYY.
QString FormatDate(const QDate &date);
// A date as statements carry it: its short form between hash marks, #DD/MM/YYYY#.
QString DateLiteral(const QDate &date);
// Reads DD/MM/YYYY (day and month may have one digit); an invalid date when it is not one.
QDate ParseShortDate(const QString &text);
