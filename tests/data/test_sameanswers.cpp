// The same seeded rows give the same answers on both engines.
#include "DataTest.h"

#include "data/ServerDialect.h"

namespace {

class SameAnswers : public OnBothEngines<OpenFolderTest> {};
QMK_ON_BOTH_ENGINES(SameAnswers);

// An empty date sorts first in ascending order and last in descending order on both engines, in the
// task list, the ledger and the sums by date.
TEST_P(SameAnswers, EmptyDatesSortAsOnTheFile)
{
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,CostUpToNow) VALUES "
         "(1,'ann',2,'a','2026-01-02',0),(2,'ann',2,'b',NULL,5),(3,'ann',2,'c','2026-01-01',0),(4,'ann',2,'d',NULL,1)");
    Seed("INSERT INTO tblTransaction (Id,UserId,TransactionDate,TaskID,AmountIn) VALUES "
         "(1,'ann','2026-01-02',1,1),(2,'ann',NULL,1,2),(3,'ann','2026-01-01',1,4),(4,'ann',NULL,1,8)");
    EXPECT_EQ(Column("Select TaskID from tblTasks Where UserId='ann' Order by StartDate,CostUpToNow"),
              (QStringList{"4", "2", "3", "1"}));
    EXPECT_EQ(Column("Select Id from tblTransaction Where UserId='ann' and TaskID =1 Order by TransactionDate,Id"),
              (QStringList{"2", "4", "3", "1"}));
    EXPECT_EQ(Column("Select sum(AmountIn) from tblTransaction Group by TransactionDate Order by TransactionDate Desc"),
              (QStringList{"1", "4", "10"}));
}

// Each sort key that does not say where its empty values go gets the file's rule; quoted text,
// keys that say it, and the words that end a list are left alone.
TEST(SortDialect, SortKeysGetTheFilesRuleForEmptyValues)
{
    const struct { const char *in, *out; } cases[] = {
        {"Select * From t Order by a,b", "Select * From t Order by a NULLS FIRST,b NULLS FIRST"},
        {"x Order by Spent Desc, h.Id LIMIT 3", "x Order by Spent Desc NULLS LAST, h.Id NULLS FIRST LIMIT 3"},
        {"x ORDER BY f(a, b) asc nulls last, 'order by' ;", "x ORDER BY f(a, b) asc nulls last, 'order by' NULLS FIRST ;"},
        {"Select (Select y From u Order by y) As z From t Where r='Order by q' Order by z desc",
         "Select (Select y From u Order by y NULLS FIRST) As z From t Where r='Order by q' Order by z desc NULLS LAST"},
        {"Select sum(x) OVER (ORDER BY d ROWS UNBOUNDED PRECEDING) From t",
         "Select sum(x) OVER (ORDER BY d NULLS FIRST ROWS UNBOUNDED PRECEDING) From t"},
        {"Select ordered, byline From t", "Select ordered, byline From t"}};
    for (const auto &c : cases)
        EXPECT_EQ(SortNullsAsTheFile(c.in), c.out) << c.in;
}

}  // namespace
