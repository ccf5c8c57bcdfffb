// The amount and date rules as tables: every way a bank writes a number or a date, and the
// readings a whole column allows (two of them where the user must choose).
#include "import/Tabular.h"

#include <gtest/gtest.h>

using namespace import;

namespace {
const QChar kDot(QLatin1Char('.')), kComma(QLatin1Char(','));
}

TEST(TextRules, AmountsReadByTheirDecimalMark)
{
    struct Case {
        const char *text;
        QChar mark;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1.000", kDot, 1},                    {"1.000", kComma, 1000},
        {"-110.7", kDot, -110.70},             {"-110.7", kComma, std::nullopt},  // never -1107
        {"1'234.50", kDot, 1234.50},           {"1 234,50", kComma, 1234.50},
        {"1\u00A0234,50", kComma, 1234.50},    {"1\u202F234,50", kComma, 1234.50},
        {"€ 1.234,56", kComma, 1234.56},       {"1.234,56 EUR", kComma, 1234.56},
        {"USD -3.00", kDot, -3},               {"$(12.00)", kDot, -12},
        {"(12.00)", kDot, -12},                {"12.00-", kDot, -12},
        {"+5", kDot, 5},                       {"\u22125", kDot, -5},
        {".5", kDot, 0.5},                     {"$1,036.47", kDot, 1036.47},
        {"-0,00", kComma, 0},                  {"1.234.567", kComma, 1234567},
        {"1.2.3", kDot, std::nullopt},         {"1.23.456", kComma, std::nullopt},
        {"1,5", kDot, std::nullopt},           {"12 34", kComma, std::nullopt},
        {"abc", kDot, std::nullopt},           {"12a", kDot, std::nullopt},
        {"--5", kDot, std::nullopt},           {"-(5)", kDot, std::nullopt},
        {"-", kDot, std::nullopt},             {"", kDot, std::nullopt},
        {"1'234,5.0", kDot, std::nullopt},     {"EUR USD 5", kDot, std::nullopt},
    };
    for (const Case &c : cases) {
        const auto value = ParseAmount(QString::fromUtf8(c.text), c.mark);
        EXPECT_EQ(value.has_value(), c.value.has_value()) << c.text << " with " << c.mark.toLatin1();
        if (value && c.value) {
            EXPECT_DOUBLE_EQ(*value, *c.value) << c.text;
            EXPECT_EQ(std::signbit(*value), std::signbit(*c.value)) << c.text;  // no negative zero
        }
    }
}

TEST(TextRules, DecimalMarkOfAColumn)
{
    struct Case {
        QStringList texts;
        QList<QChar> marks;
    };
    const Case cases[] = {
        {{"1.000", "2.000"}, {kComma, kDot}},  // both read: the user chooses, thousands first
        {{"1,000", "2,500"}, {kDot, kComma}},
        {{"1.000", "2,50"}, {kComma}},         // a mark followed by two digits decides
        {{"1.000", "2.50"}, {kDot}},
        {{"1.000", "1.234,56"}, {kComma}},     // both marks in one value decide
        {{"1.000", "1.234.567"}, {kComma}},    // two of one mark decide
        {{"12", "", "7"}, {kDot}},             // whole numbers read the same either way
        {{"12", "abc"}, {}},
        {{"", " "}, {}},
    };
    for (const Case &c : cases) EXPECT_EQ(DecimalMarksFor(c.texts), c.marks) << c.texts.join(' ').toStdString();
}

TEST(TextRules, DateFormatsOfAColumn)
{
    struct Case {
        QStringList texts;
        QStringList formats;
    };
    const Case cases[] = {
        {{"01/02/2024", "05/03/2024"}, {"dd/MM/yyyy", "MM/dd/yyyy"}},
        {{"01/02/2024", "05/03/2024", "13/02/2024"}, {"dd/MM/yyyy"}},
        {{"08/17/2022", ""}, {"MM/dd/yyyy"}},
        {{"01/01/2024"}, {"dd/MM/yyyy"}},  // the same date either way: nothing to choose
        {{"1.2.2024", "01.02.2024"}, {"d.M.yyyy"}},
        {{"31.12.2018"}, {"dd.MM.yyyy"}},
        {{"03.04.18"}, {"dd.MM.yy"}},
        {{"1/5/24", "12/13/24"}, {"M/d/yy"}},
        {{"17-06-2022"}, {"dd-MM-yyyy"}},
        {{"20200213"}, {"yyyyMMdd"}},
        {{"2024/02/29"}, {"yyyy/MM/dd"}},
        {{"5-Jan-2024", "15-Sep-2024"}, {"d-MMM-yyyy"}},
        {{"05 March 2024"}, {"dd MMM yyyy"}},
        {{"2024-03-01T10:20:30.5+01:00"}, {"yyyy-MM-ddTHH:mm:ss"}},
        {{"24.07.2025 04:49:39"}, {"dd.MM.yyyy HH:mm:ss"}},
        {{"29.02.2023"}, {}},
        {{"2024-13-01"}, {}},
        {{"01.02.2024x"}, {}},
    };
    for (const Case &c : cases) EXPECT_EQ(DateFormatsFor(c.texts), c.formats) << c.texts.join(' ').toStdString();
}

TEST(TextRules, TwoDigitYearsStayWithinTwentyYearsAhead)
{
    const int year = QDate::currentDate().year();
    const QString near = QStringLiteral("01.01.%1").arg((year + 20) % 100, 2, 10, QLatin1Char('0'));
    const QString far = QStringLiteral("01.01.%1").arg((year + 21) % 100, 2, 10, QLatin1Char('0'));
    EXPECT_EQ(ParseDate(near, QStringLiteral("dd.MM.yy"))->year(), year + 20);
    EXPECT_EQ(ParseDate(far, QStringLiteral("dd.MM.yy"))->year(), year + 21 - 100);
    EXPECT_EQ(ParseDate(QStringLiteral("01/02/24"), QStringLiteral("MM/dd/yy")), QDate(2024, 1, 2));
}
