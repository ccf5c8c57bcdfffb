// The platform seams as the real program uses them: the box a user answers, and trace lines.
#include "TestSupport.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

// The box shows its title, text, icon and default button; pressing the default answers its button.
TEST(Seams, RealMessageBoxShowsTitleIconAndDefaultAndAnswersTheButtonPressed)
{
    using namespace ui;
    const struct { Buttons buttons; Icon icon; int defaultButton; Answer answer; const char *shown; } cases[] = {
        {Buttons::YesNo, Icon::Information, 2, Answer::No, "1 No"},  // shown: the QMessageBox icon, the default
        {Buttons::YesNo, Icon::Question, 1, Answer::Yes, "4 Yes"},
        {Buttons::OKOnly, Icon::Critical, 1, Answer::OK, "3 OK"},
        {Buttons::RetryCancel, Icon::None, 1, Answer::Retry, "0 Retry"},
        {Buttons::YesNoCancel, Icon::Exclamation, 3, Answer::Cancel, "2 Cancel"}};
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

// Without a handler of their own, trace lines go to their logging category, which is off until
// the logging rules turn it on.
TEST(Seams, TraceLinesGoToTheirLoggingCategory)
{
    static QString logged;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &c, const QString &m) { logged = c.category + m; });
    ui::Trace(QStringLiteral(">>frmMainMenu>off"));
    EXPECT_EQ(logged, "");
    QLoggingCategory::setFilterRules(QStringLiteral("quillmark.trace.debug=true"));
    ui::Trace(QStringLiteral(">>frmMainMenu>LoadTasks Start"));
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(logged, "quillmark.trace>>frmMainMenu>LoadTasks Start");
}
