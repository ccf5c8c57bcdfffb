// Text forms of values and SQL quoting: what the ledger shows and what statements receive.
// Every case runs under the C locale and under one with a decimal comma.
#include "data/MyFun.h"
#include "data/Variant.h"

#include <QLocale>
#include <gtest/gtest.h>
#include <limits>

namespace {

class DataValues : public ::testing::TestWithParam<const char *> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QString::fromLatin1(GetParam()))); }
    void TearDown() override { QLocale::setDefault(m_previous); }
    QLocale m_previous;
};

INSTANTIATE_TEST_SUITE_P(Locales, DataValues, ::testing::Values("C", "de_DE"));

TEST_P(DataValues, NumbersUseAPointNoExponentAtMostFifteenDigitsAndNoMinusZero)
{
    const struct { double value; const char *plain, *fixed2; } cases[] = {
        {12.5, "12.5", "12.50"}, {100, "100", "100.00"}, {-0.25, "-0.25", "-0.25"}, {0.0, "0", "0.00"},
        {-0.0, "0", "0.00"}, {-0.001, "-0.001", "0.00"}, {1234.5, "1234.5", "1234.50"},
        {-1234.5, "-1234.5", "-1234.50"}, {1000000, "1000000", "1000000.00"},
        // Binary noise below the fifteenth digit is not shown.
        {0.1 + 0.2, "0.3", "0.30"}, {1.1 * 3, "3.3", "3.30"}, {1.0 / 3, "0.333333333333333", "0.33"},
        {2.0 / 3, "0.666666666666667", "0.67"}, {123456789.123456789, "123456789.123457", "123456789.12"},
        // Large and small magnitudes are written out in plain digits.
        {1e20, "100000000000000000000", "100000000000000000000.00"},
        {12345678901234567.0, "12345678901234600", "12345678901234568.00"},
        {1e-7, "0.0000001", "0.00"}, {-1234.5e-10, "-0.00000012345", "0.00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(FormatNumber(c.value), c.plain);
        EXPECT_EQ(Variant(c.value).toString(), c.plain);
        EXPECT_EQ(FormatFixed2(c.value), c.fixed2);
    }
    bool ok = false;
    EXPECT_EQ(Variant(" 12.5 ").toDouble(&ok), 12.5);
    EXPECT_TRUE(ok);
    // A null amount or an infinity is no number: callers must not take it for 0 without knowing.
    EXPECT_EQ(Variant::null().toDouble(&ok), 0.0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Variant(std::numeric_limits<double>::infinity()).toInt64(&ok), 0);
    EXPECT_FALSE(ok);
}

TEST_P(DataValues, DatesAreDayFirstWithAFourDigitYear)
{
    const struct { const char *text; QDate date; } cases[] = {
        {"5/1/2026", QDate(2026, 1, 5)}, {"05/01/2026", QDate(2026, 1, 5)}, {"29/02/2024", QDate(2024, 2, 29)},
        {"29/02/2026", QDate()},         {"31/02/2026", QDate()},           {"1/2/26", QDate()},
        {"2026-01-05", QDate()},         {"005/1/2026", QDate()},           {"", QDate()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParseShortDate(QString::fromLatin1(c.text)), c.date) << c.text;
    EXPECT_EQ(Variant(QDate(2026, 1, 5)).toString(), "05/01/2026");
    EXPECT_EQ(FormatDate(QDate(987, 12, 31)), "31/12/0987");
    EXPECT_EQ(FormatDate(QDate()), "");
    EXPECT_EQ(Variant("2026-01-05").toDate(), QDate(2026, 1, 5));
    EXPECT_EQ(Variant("5/1/2026").toDate(), QDate(2026, 1, 5));
}

TEST_P(DataValues, QuoteSqlMakesOneSafeLiteral)
{
    const struct { Variant value; const char *literal; } cases[] = {
        {"abc", "'abc'"}, {"O'Neil", "'O''Neil'"}, {"''", "''''''"},
        {"x'; DROP TABLE tblUsers; --", "'x''; DROP TABLE tblUsers; --'"},
        // Blank, empty and null all become the one-space literal; other text is not trimmed.
        {"   ", "' '"}, {"", "' '"}, {Variant::null(), "' '"}, {Variant(), "' '"},
        {"  x ", "'  x '"}, {"\tx", "'\tx'"}, {12.5, "'12.5'"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QuoteSql(c.value), c.literal);
    EXPECT_EQ(QuoteSql(QString()), "' '");
}

}  // namespace
