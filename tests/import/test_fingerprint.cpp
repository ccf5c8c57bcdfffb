#include "import/Readers.h"

#include <gtest/gtest.h>

using namespace import;

// Lines of overlapping statements are recognised by content, and equal lines of one file stay
// apart by how many came before them.
TEST(Fingerprint, SameContentSameCountOnly)
{
    StatementLine a;
    a.line = 3;
    a.date = QDate(2024, 2, 1);
    a.amount = -2.5;
    a.remarks = QStringLiteral("Coffee");
    StatementLine b = a;
    b.line = 40;  // the same booking further down another file
    EXPECT_EQ(Fingerprint(a, 0), Fingerprint(b, 0));
    EXPECT_NE(Fingerprint(a, 0), Fingerprint(a, 1));
    b.amount = -2.25;
    EXPECT_NE(Fingerprint(a, 0), Fingerprint(b, 0));
}
