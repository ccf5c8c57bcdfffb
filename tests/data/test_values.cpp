// Text forms of values and SQL quoting: what the ledger shows and what statements receive.
#include "data/MyFun.h"
#include "data/Variant.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

namespace {

// Puts a locale with a decimal comma in force for one test and restores the previous one.
class CommaLocale {
public:
    CommaLocale() : m_previous(QLocale()) { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~CommaLocale() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

}  // namespace

TEST(DataValues, PlainNumbersHaveNoTrailingZerosAndAtMostFifteenDigits)
{
    EXPECT_EQ(FormatNumber(12.5), "12.5");
    EXPECT_EQ(FormatNumber(100), "100");
    EXPECT_EQ(FormatNumber(-0.25), "-0.25");
    EXPECT_EQ(FormatNumber(0.0), "0");
    EXPECT_EQ(FormatNumber(-0.0), "0");
    // Binary noise below the fifteenth digit is not shown.
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatNumber(1.1 * 3), "3.3");
    EXPECT_EQ(FormatNumber(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FormatNumber(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(FormatNumber(123456789.123456789), "123456789.123457");
    // Large and small magnitudes are written out in plain digits, never with an exponent.
    EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
    EXPECT_EQ(FormatNumber(12345678901234567.0), "12345678901234600");
    EXPECT_EQ(FormatNumber(1e-7), "0.0000001");
    EXPECT_EQ(FormatNumber(-1234.5e-10), "-0.00000012345");
}

TEST(DataValues, TwoDecimalFormNeverShowsMinusZero)
{
    EXPECT_EQ(FormatFixed2(0.0), "0.00");
    EXPECT_EQ(FormatFixed2(-0.0), "0.00");
    EXPECT_EQ(FormatFixed2(-0.001), "0.00");  // a balance that rounds to nothing
    EXPECT_EQ(FormatFixed2(1234.5), "1234.50");
    EXPECT_EQ(FormatFixed2(-1234.5), "-1234.50");
    EXPECT_EQ(FormatFixed2(1000000), "1000000.00");  // no grouping
    EXPECT_EQ(FormatFixed2(0.1 + 0.2), "0.30");
}

TEST(DataValues, VariantTextFormsAndDates)
{
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(Variant::null().toString(), "");
    EXPECT_EQ(Variant(std::int64_t(32767)).toString(), "32767");
    EXPECT_EQ(Variant(0.1 + 0.2).toString(), "0.3");
    EXPECT_EQ(Variant(QDate(2026, 1, 5)).toString(), "05/01/2026");
    EXPECT_EQ(FormatDate(QDate(987, 12, 31)), "31/12/0987");
    EXPECT_EQ(FormatDate(QDate()), "");

    EXPECT_EQ(ParseShortDate("5/1/2026"), QDate(2026, 1, 5));
    EXPECT_EQ(ParseShortDate("05/01/2026"), QDate(2026, 1, 5));
    EXPECT_EQ(ParseShortDate("29/02/2024"), QDate(2024, 2, 29));
    EXPECT_FALSE(ParseShortDate("29/02/2026").isValid());
    EXPECT_FALSE(ParseShortDate("31/02/2026").isValid());
    EXPECT_FALSE(ParseShortDate("1/2/26").isValid());
    EXPECT_FALSE(ParseShortDate("2026-01-05").isValid());
    EXPECT_FALSE(ParseShortDate("").isValid());

    EXPECT_EQ(Variant("2026-01-05").toDate(), QDate(2026, 1, 5));
    EXPECT_EQ(Variant("5/1/2026").toDate(), QDate(2026, 1, 5));
    EXPECT_FALSE(Variant::null().toDate().isValid());

    // A null amount is no number: callers must not take it for 0 without knowing.
    bool ok = true;
    EXPECT_EQ(Variant::null().toDouble(&ok), 0.0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Variant(std::numeric_limits<double>::infinity()).toInt64(&ok), 0);
    EXPECT_FALSE(ok);
}

TEST(DataValues, NumbersUseAPointWhateverTheLocale)
{
    CommaLocale german;
    ASSERT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    EXPECT_EQ(FormatNumber(12.5), "12.5");
    EXPECT_EQ(FormatNumber(-1234.25), "-1234.25");
    EXPECT_EQ(FormatFixed2(1234.5), "1234.50");
    EXPECT_EQ(Variant(0.75).toString(), "0.75");
    bool ok = false;
    EXPECT_EQ(Variant(" 12.5 ").toDouble(&ok), 12.5);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Variant(QDate(2026, 1, 5)).toString(), "05/01/2026");
}

TEST(DataValues, QuoteSqlMakesOneSafeLiteral)
{
    EXPECT_EQ(QuoteSql(QStringLiteral("abc")), "'abc'");
    EXPECT_EQ(QuoteSql(QStringLiteral("O'Neil")), "'O''Neil'");
    EXPECT_EQ(QuoteSql(QStringLiteral("''")), "''''''");
    EXPECT_EQ(QuoteSql(QStringLiteral("x'; DROP TABLE tblUsers; --")), "'x''; DROP TABLE tblUsers; --'");
    // Blank, empty and null all become the one-space literal; other text is not trimmed.
    EXPECT_EQ(QuoteSql(QStringLiteral("   ")), "' '");
    EXPECT_EQ(QuoteSql(QString()), "' '");
    EXPECT_EQ(QuoteSql(QStringLiteral("")), "' '");
    EXPECT_EQ(QuoteSql(Variant::null()), "' '");
    EXPECT_EQ(QuoteSql(Variant()), "' '");
    EXPECT_EQ(QuoteSql(QStringLiteral("  x ")), "'  x '");
    EXPECT_EQ(QuoteSql(Variant("it's")), "'it''s'");
    EXPECT_EQ(QuoteSql(Variant(12.5)), "'12.5'");
}
