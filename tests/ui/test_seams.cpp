// The platform seams as the real program uses them: the message box that a user answers, trace
// lines on the debugger channel, and the list controls.
#include "TestSupport.h"

#include "ui/ListItems.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// The box shows its title, text, icon and default button; pressing the default answers its button.
TEST(Seams, RealMessageBoxShowsTitleIconAndDefaultAndAnswersTheButtonPressed)
{
    using B = ui::Buttons;
    using I = ui::Icon;
    const struct { B buttons; I icon; int defaultButton; ui::Answer answer; const char *shown; } cases[] = {
        {B::YesNo, I::Information, 2, ui::Answer::No, "1 No"}, {B::YesNo, I::Question, 1, ui::Answer::Yes, "4 Yes"},
        {B::OKOnly, I::Critical, 1, ui::Answer::OK, "3 OK"}, {B::RetryCancel, I::None, 1, ui::Answer::Retry, "0 Retry"},
        {B::YesNoCancel, I::Exclamation, 3, ui::Answer::Cancel, "2 Cancel"}};  // QMessageBox::Icon, default button
    for (const auto &c : cases) {
        QString shown;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QAbstractButton *chosen = box->defaultButton() ? box->defaultButton() : box->buttons().front();
            shown = QString("%1|%2|%3 ").arg(box->windowTitle(), box->text()).arg(box->icon()) + chosen->text().remove('&');
            chosen->click();
        });
        EXPECT_EQ(ui::MsgBox("Delete this entry?", c.buttons, c.icon, "Delete?", c.defaultButton), c.answer);
        EXPECT_EQ(shown, QString("Delete?|Delete this entry?|") + c.shown);
    }
}

TEST(Seams, TraceLinesGoToTheirLoggingCategoryOrTheHandler)
{
    static QString logged;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &c, const QString &m) { logged = c.category + m; });
    ui::Trace(QStringLiteral(">>frmMainMenu>LoadTasks Start"));
    qInstallMessageHandler(nullptr);
    QList<QByteArray> lines;
    ui::SetTraceHandler([&](const QByteArray &l) { lines << l; });
    ui::Trace(QStringLiteral("a>b"));
    ui::SetTraceHandler({});
    EXPECT_EQ(logged + "|" + lines.join(), "quillmark.trace>>frmMainMenu>LoadTasks Start|a>b");
}

// Sorted lists report where each item went; no list chooses an item by itself.
TEST(Seams, ListsKeepSortedOrderReportWhereTheItemWentAndChooseNothingByThemselves)
{
    ui::ComboBox combo(QStringLiteral("cboHeads"), nullptr, true);
    ui::ListBox list(QStringLiteral("lstHeads"), nullptr, true);
    for (IListItems *items : {static_cast<IListItems *>(&combo), static_cast<IListItems *>(&list)}) {
        QStringList texts;
        for (const char *t : {"Travel", "fuel", "Materials", "Fuel"})
            items->AddItem(t), items->SetItemData(items->NewIndex(), int(items->List(items->NewIndex()).size()));
        for (int i = 0; i < items->ListCount(); ++i)
            texts << items->List(i) + "=" + QString::number(items->ItemData(i));
        EXPECT_EQ(texts.join(' ') + QString(" %1").arg(items->ListIndex()), "fuel=4 Fuel=4 Materials=9 Travel=6 -1");
        items->SetListIndex(2);
        items->AddItem(QStringLiteral("Admin"));  // the choice stays on its item
        EXPECT_EQ(items->List(items->ListIndex()), "Materials");
        items->Clear();
        EXPECT_EQ(QList<int>({items->NewIndex(), items->ListIndex(), items->ListCount()}), QList<int>({-1, -1, 0}));
    }
}
