// The user entry window: adding users, refusing duplicates, what the database then holds.
#include "TestSupport.h"

#include "shell/frmUser.h"

#include <QApplication>
#include <QTest>

namespace {

class UserEntryTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        Open();
    }
    void TearDown() override
    {
        delete window;
        ProgramFolderTest::TearDown();
    }
    void Open()
    {
        delete window;
        window = new frmUser();
        window->show();
        QApplication::processEvents();
    }
    void Save(const QString &name, const QString &password)
    {
        window->txtUserName->setText(QString());
        window->txtPassword->setText(QString());
        TypeInto(window->txtUserName, name);
        TypeInto(window->txtPassword, password);
        QTest::mouseClick(window->cmdSave, Qt::LeftButton);
    }
    QStringList Users() { return Column("Select Id || ':' || UserId || ':' || Passwd From tblUsers Order by Id"); }

    frmUser *window = nullptr;
};

TEST_F(UserEntryTest, WindowHasItsCaptionAndPictureButtons)
{
    EXPECT_EQ(window->windowTitle(), "User Entry");
    EXPECT_EQ(window->cmdSave->toolTip(), "Save");
    EXPECT_EQ(window->cmdCancel->toolTip(), "Close");
    EXPECT_FALSE(window->cmdSave->icon().isNull());
    EXPECT_FALSE(window->cmdCancel->icon().isNull());
    EXPECT_EQ(window->txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window->txtUserName->text(), "");
}

TEST_F(UserEntryTest, FirstUserGetsIdOneAndIsStoredAsTyped)
{
    Save(" Ann ", "p w");
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(Users(), QStringList{"1: Ann :p w"});
    EXPECT_EQ(Statements(), (QStringList{"Select * from tblUsers where UserId=' Ann '", "Select max(Id) From tblUsers",
                                         "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (1,' Ann ','p w')"}));
    Open();
    Save("bob", "x");
    EXPECT_EQ(Users(), (QStringList{"1: Ann :p w", "2:bob:x"}));
}

TEST_F(UserEntryTest, BlankNameOrPasswordDoesNothing)
{
    Save("   ", "secret");
    Save("ann", "");
    Save("ann", "   ");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Statements().isEmpty());
    EXPECT_TRUE(Users().isEmpty());
}

TEST_F(UserEntryTest, DuplicateNameInAnyCaseIsRefusedAndTheWindowStays)
{
    Save("ann", "one");
    Open();
    for (const char *again : {"ann", "ANN"}) {
        boxes.Expect();
        Save(again, "two");
        const ui::MessageBoxRequest &box = boxes.Shown().back();
        EXPECT_EQ(box.prompt, "User Already Exists !");
        EXPECT_EQ(box.title, "Quillmark v1.0 DEMO");
        EXPECT_EQ(box.icon, ui::Icon::Critical);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->txtUserName->text(), again);
        EXPECT_EQ(window->txtPassword->text(), "two");
    }
    EXPECT_EQ(Users(), QStringList{"1:ann:one"});
}

TEST_F(UserEntryTest, QuotesAndTheListDelimiterAreStoredWhole)
{
    Save("O'Neil", "it's<<>>mine");
    EXPECT_EQ(Statements().last(), "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (1,'O''Neil','it''s<<>>mine')");
    EXPECT_EQ(Users(), QStringList{"1:O'Neil:it's<<>>mine"});
    Open();
    boxes.Expect();
    Save("o'neil", "x");
    EXPECT_EQ(Users().size(), 1);
}

TEST_F(UserEntryTest, CloseDiscardsWhatWasTyped)
{
    TypeInto(window->txtUserName, "carl");
    TypeInto(window->txtPassword, "c");
    QTest::mouseClick(window->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_TRUE(Users().isEmpty());
    EXPECT_TRUE(Statements().isEmpty());
}

TEST_F(UserEntryTest, EnterSavesFromThePasswordBox)
{
    TypeInto(window->txtUserName, "dora");
    TypeInto(window->txtPassword, "d");
    Press(window->txtPassword, Qt::Key_Return);
    EXPECT_EQ(Users(), QStringList{"1:dora:d"});
}

TEST_F(UserEntryTest, WithoutADatabaseTheNameCountsAsExistingAndNothingIsWritten)
{
    ResetProcessState();
    AppTitle = QString::fromLatin1(kAppTitle);
    boxes.Expect();
    Save("ann", "a");
    EXPECT_EQ(boxes.Shown().back().prompt, "User Already Exists !");
    EXPECT_TRUE(window->isVisible());
    OpenDatabase();
    EXPECT_TRUE(Users().isEmpty());
}

}  // namespace
