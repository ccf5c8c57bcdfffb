// The platform seams as the real program uses them: the message box that a user answers, and
// trace lines on the debugger channel.
#include "TestSupport.h"

#include "ui/ListItems.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

// Answers the next real message box by pressing the button with the given text, and records
// what the box showed.
struct BoxAnswerer {
    explicit BoxAnswerer(const QString &button) : press(button) {}
    QString press;
    QString title, text, defaultButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    void Arm()
    {
        QTimer::singleShot(0, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
            for (QAbstractButton *b : box->buttons())
                if (b->text().remove('&') == press) {
                    b->click();
                    return;
                }
            ADD_FAILURE() << "no button " << press.toStdString();
            box->close();
        });
    }
};

TEST(Seams, RealMessageBoxShowsTitleIconAndDefaultAndAnswersTheButtonPressed)
{
    BoxAnswerer a(QStringLiteral("No"));
    a.Arm();
    EXPECT_EQ(ui::MsgBox("Delete this entry?", ui::Buttons::YesNo, ui::Icon::Information, "Delete?", 2),
              ui::Answer::No);
    EXPECT_EQ(a.title, "Delete?");
    EXPECT_EQ(a.text, "Delete this entry?");
    EXPECT_EQ(a.icon, QMessageBox::Information);
    EXPECT_EQ(a.defaultButton.remove('&'), "No");

    BoxAnswerer b(QStringLiteral("Yes"));
    b.Arm();
    EXPECT_EQ(ui::MsgBox("Sure?", ui::Buttons::YesNo, ui::Icon::Question, "T"), ui::Answer::Yes);
    EXPECT_EQ(b.icon, QMessageBox::Question);
    EXPECT_EQ(b.defaultButton.remove('&'), "Yes");

    BoxAnswerer c(QStringLiteral("OK"));
    c.Arm();
    EXPECT_EQ(ui::MsgBox("no such table", ui::Buttons::OKOnly, ui::Icon::Critical, "Error"), ui::Answer::OK);
    EXPECT_EQ(c.icon, QMessageBox::Critical);
}

TEST(Seams, TraceLinesGoToTheirLoggingCategoryInEightBitText)
{
    static QString category, message;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &ctx, const QString &m) {
        category = QString::fromLatin1(ctx.category);
        message = m;
    });
    ui::Trace(QStringLiteral("Quillmark v1.0 DEMO>>frmMainMenu>LoadTasks Start"));
    qInstallMessageHandler(previous);
    EXPECT_EQ(category, "quillmark.trace");
    EXPECT_EQ(message, "Quillmark v1.0 DEMO>>frmMainMenu>LoadTasks Start");

    QList<QByteArray> lines;
    const ui::TraceHandler old = ui::SetTraceHandler([&](const QByteArray &l) { lines << l; });
    ui::Trace(QStringLiteral("a>b"));
    ui::SetTraceHandler(old);
    EXPECT_EQ(lines, QList<QByteArray>{"a>b"});
}

TEST(Seams, ListsKeepSortedOrderReportWhereTheItemWentAndChooseNothingByThemselves)
{
    ui::ComboBox combo(QStringLiteral("cboHeads"), nullptr, true);
    ui::ListBox list(QStringLiteral("lstHeads"), nullptr, true);
    for (IListItems *items : {static_cast<IListItems *>(&combo), static_cast<IListItems *>(&list)}) {
        for (const char *t : {"Travel", "fuel", "Materials", "Fuel"}) {
            items->AddItem(QString::fromLatin1(t));
            items->SetItemData(items->NewIndex(), int(items->List(items->NewIndex()).size()));
        }
        QStringList texts;
        for (int i = 0; i < items->ListCount(); ++i)
            texts << items->List(i) + "=" + QString::number(items->ItemData(i));
        EXPECT_EQ(texts, (QStringList{"fuel=4", "Fuel=4", "Materials=9", "Travel=6"}));
        EXPECT_EQ(items->ListIndex(), -1);
        items->SetListIndex(2);
        items->AddItem(QStringLiteral("Admin"));  // the choice stays on its item
        EXPECT_EQ(items->List(items->ListIndex()), "Materials");
        items->Clear();
        EXPECT_EQ(items->NewIndex(), -1);
        EXPECT_EQ(items->ListIndex(), -1);
        EXPECT_EQ(items->ListCount(), 0);
    }
}

}  // namespace
