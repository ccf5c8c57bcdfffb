// The one-statement guard: a text runs only when it is one statement, give or take blanks,
// comments and closing semicolons.
#include "TestSupport.h"

namespace {

using OneStatement = ProgramFolderTest;

TEST_F(OneStatement, AnEmptyStatementFirstOrASecondStatementIsRefusedAndNothingRuns)
{
    OpenDatabase();
    CTemplate dao;
    const QString del = "Delete from tblStatus", sel = "Select StatusName from tblStatus";
    for (const QString &text : {";" + del, "  ;" + del, "/* c */ ; " + del, "-- c\n;" + del, sel + "; " + del,
                                sel + " -- c\n; " + del, sel + "; /* c */ " + del, sel + " /* ; */ ;; -- c\n" + del,
                                sel + QChar(0) + del}) {
        SCOPED_TRACE(text.toStdString());
        dao.ExecuteSql("Select 'kept'");
        EXPECT_THROW(dao.ExecuteSql(text), SqlError);
        EXPECT_EQ(SharedRecordset->Fields(0).toString(), "kept");
    }
    EXPECT_EQ(Scalar("Select count(*) from tblStatus"), "6");

    for (const QString &text : {sel + ";", sel + " ;; ", sel + "; -- all of them", sel + " /* ; */",
                                QString("Select ';' || StatusName from tblStatus; /* done */")}) {
        SCOPED_TRACE(text.toStdString());
        dao.ExecuteSql(text);
        EXPECT_FALSE(SharedRecordset->Eof());
    }
}

}  // namespace
