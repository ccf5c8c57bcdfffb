// The platform seams as the real program uses them: the message box that a user answers, trace
// lines on the debugger channel, and the list controls.
#include "TestSupport.h"

#include "ui/ListItems.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

TEST(Seams, RealMessageBoxShowsTitleIconAndDefaultAndAnswersTheButtonPressed)
{
    const struct { ui::Buttons buttons; ui::Icon icon; int defaultButton; const char *press; ui::Answer answer;
                   QMessageBox::Icon shown; const char *shownDefault; } cases[] = {
        {ui::Buttons::YesNo, ui::Icon::Information, 2, "No", ui::Answer::No, QMessageBox::Information, "No"},
        {ui::Buttons::YesNo, ui::Icon::Question, 1, "Yes", ui::Answer::Yes, QMessageBox::Question, "Yes"},
        {ui::Buttons::OKOnly, ui::Icon::Critical, 1, "OK", ui::Answer::OK, QMessageBox::Critical, "OK"},
        {ui::Buttons::YesNoCancel, ui::Icon::Exclamation, 3, "Cancel", ui::Answer::Cancel, QMessageBox::Warning, "Cancel"},
        {ui::Buttons::RetryCancel, ui::Icon::None, 1, "Retry", ui::Answer::Retry, QMessageBox::NoIcon, "Retry"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.press);
        QString title, text, defaultButton;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            defaultButton = box->defaultButton() ? box->defaultButton()->text().remove('&') : QString();
            for (QAbstractButton *b : box->buttons())
                if (b->text().remove('&') == c.press)
                    return b->click();
            ADD_FAILURE() << "no button " << c.press;
            box->close();
        });
        EXPECT_EQ(ui::MsgBox("Delete this entry?", c.buttons, c.icon, "Delete?", c.defaultButton), c.answer);
        EXPECT_EQ(title + "|" + text + "|" + defaultButton, QStringLiteral("Delete?|Delete this entry?|") + c.shownDefault);
        EXPECT_EQ(icon, c.shown);
    }
}

TEST(Seams, TraceLinesGoToTheirLoggingCategoryOrTheHandler)
{
    static QString category, message;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &ctx, const QString &m) {
        category = QString::fromLatin1(ctx.category);
        message = m;
    });
    ui::Trace(QStringLiteral("Quillmark v1.0 DEMO>>frmMainMenu>LoadTasks Start"));
    qInstallMessageHandler(previous);
    EXPECT_EQ(category + ": " + message, "quillmark.trace: Quillmark v1.0 DEMO>>frmMainMenu>LoadTasks Start");

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
        EXPECT_EQ(QList<int>({items->NewIndex(), items->ListIndex(), items->ListCount()}), QList<int>({-1, -1, 0}));
    }
}

}  // namespace
