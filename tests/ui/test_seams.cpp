// The platform seams as the real program uses them: the message box that a user answers, and trace
// lines on the debugger channel.
#include "TestSupport.h"

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
            shown = QString("%1|%2|%3 %4").arg(box->windowTitle(), box->text()).arg(box->icon()).arg(chosen->text());
            chosen->click();
        });
        EXPECT_EQ(ui::MsgBox("Delete this entry?", c.buttons, c.icon, "Delete?", c.defaultButton), c.answer);
        EXPECT_EQ(shown.remove('&'), QString("Delete?|Delete this entry?|") + c.shown);
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
