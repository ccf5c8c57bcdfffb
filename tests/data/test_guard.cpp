// The one-statement guard: a text runs only when it is one statement, give or take blanks,
// comments and closing semicolons.
#include "TestSupport.h"

namespace {

class OneStatement : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
    }
    CTemplate dao;
};

TEST_F(OneStatement, AnEmptyStatementFirstOrASecondStatementIsRefusedAndNothingRuns)
{
    const QString del = "Delete from tblStatus";
    const QString sel = "Select StatusName from tblStatus";
    const QString refused[] = {
        ";" + del,
        "  ;" + del,
        "/* c */ ; " + del,
        "-- c\n;" + del,
        sel + "; " + del,
        sel + " -- c\n; " + del,
        sel + "; /* c */ " + del,
        sel + " /* ; */ ;; -- c\n" + del,
        sel + QChar(0) + del,
    };
    for (const QString &text : refused) {
        SCOPED_TRACE(text.toStdString());
        dao.ExecuteSql("Select 'kept'");
        EXPECT_THROW(dao.ExecuteSql(text), SqlError);
        EXPECT_EQ(SharedRecordset->Fields(0).toString(), "kept");
    }
    EXPECT_EQ(Scalar("Select count(*) from tblStatus"), "6");

    const QString accepted[] = {sel + ";", sel + " ;; ", sel + "; -- all of them", sel + " /* ; */",
                                "Select ';' || StatusName from tblStatus; /* done */"};
    for (const QString &text : accepted) {
        SCOPED_TRACE(text.toStdString());
        dao.ExecuteSql(text);
        EXPECT_FALSE(SharedRecordset->Eof());
    }
}

}  // namespace
