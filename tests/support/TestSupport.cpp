#include "TestSupport.h"

#include "data/NewDatabase.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTest>

ScriptedMessageBox::ScriptedMessageBox()
{
    m_previous = ui::SetMessageBoxHandler([this](const ui::MessageBoxRequest &r) {
        m_shown.push_back(r);
        if (m_answers.empty()) {
            ADD_FAILURE() << "unexpected message box \"" << r.prompt.toStdString() << "\" titled \""
                          << r.title.toStdString() << "\"";
            switch (r.buttons) {
            case ui::Buttons::YesNo:
            case ui::Buttons::YesNoCancel: return ui::Answer::Yes;
            case ui::Buttons::RetryCancel: return ui::Answer::Retry;
            default: return ui::Answer::OK;
            }
        }
        const ui::Answer a = m_answers.front();
        m_answers.pop_front();
        return a;
    });
}

ScriptedMessageBox::~ScriptedMessageBox()
{
    ui::SetMessageBoxHandler(m_previous);
    EXPECT_TRUE(m_answers.empty()) << m_answers.size() << " expected message box(es) never shown";
}

void ScriptedMessageBox::Expect(ui::Answer answer) { m_answers.push_back(answer); }

void ProgramFolderTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    ResetProcessState();
    ui::SetAppPath(m_dir.path());
    CreateDatabaseFile(DatabasePath());
    AppTitle = QString::fromLatin1(kAppTitle);
    StatementLog::SetEnabled(true);
    StatementLog::Clear();
    m_prevOpen = ui::SetOpenHandler([this](const QString &t) { opened << t; });
    m_prevEnd = ui::SetEndHandler([this] { ++endProgramCalls; });
    m_prevTrace = ui::SetTraceHandler([this](const QByteArray &line) { traces << line; });
}

void ProgramFolderTest::TearDown()
{
    ui::SetOpenHandler(m_prevOpen);
    ui::SetEndHandler(m_prevEnd);
    ui::SetTraceHandler(m_prevTrace);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        w->close();
    ResetProcessState();
    StatementLog::Clear();
    StatementLog::SetEnabled(false);
    ui::SetAppPath(QString());
}

QString ProgramFolderTest::DatabasePath() const { return m_dir.filePath(QStringLiteral("qmk.dat")); }

void ProgramFolderTest::OpenDatabase()
{
    DataAccess.dataIntialize(DatabasePath(), QString(), QString::fromLatin1(kDatabasePassword), QString());
    ASSERT_TRUE(SharedConnection.IsOpen());
    StatementLog::Clear();
}

QStringList ProgramFolderTest::Column(const QString &sql)
{
    const bool logging = StatementLog::Enabled();
    StatementLog::SetEnabled(false);
    QStringList out;
    const auto rs = SharedConnection.Execute(sql);
    for (; !rs->Eof(); rs->MoveNext())
        out << rs->Fields(0).toString();
    StatementLog::SetEnabled(logging);
    return out;
}

void ProgramFolderTest::Seed(const QString &sql)
{
    const bool logging = StatementLog::Enabled();
    StatementLog::SetEnabled(false);
    SharedConnection.Execute(sql);
    StatementLog::SetEnabled(logging);
}

QByteArray BytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

QString ProgramFolderTest::Scalar(const QString &sql)
{
    const QStringList c = Column(sql);
    return c.isEmpty() ? QString() : c.front();
}

ScriptedModals::ScriptedModals()
{
    m_previous = ui::SetModalHandler([this](QDialog &dialog) {
        ++m_opened;
        m_titles << dialog.windowTitle();
        dialog.show();
        dialog.activateWindow();
        QApplication::processEvents();
        if (m_scripts.empty()) {
            ADD_FAILURE() << "unexpected modal window " << dialog.objectName().toStdString();
        } else {
            Script script = std::move(m_scripts.front());
            m_scripts.pop_front();
            script(dialog);
        }
        QApplication::processEvents();
        if (dialog.isVisible())
            dialog.reject();
        return dialog.result();
    });
}

ScriptedModals::~ScriptedModals()
{
    ui::SetModalHandler(m_previous);
    EXPECT_TRUE(m_scripts.empty()) << m_scripts.size() << " scripted window(s) never opened";
}

void ScriptedModals::Then(Script script) { m_scripts.push_back(std::move(script)); }

void TypeInto(QWidget *w, const QString &text) { QTest::keyClicks(w, text); }

void Press(QWidget *w, int key, Qt::KeyboardModifiers mods) { QTest::keyClick(w, Qt::Key(key), mods); }

#include "shell/frmLogin.h"
#include "shell/frmUser.h"

void TypeText(QWidget *w, const QString &text)
{
    // Key codes cover ASCII only; other characters arrive as the text of a key event, as an
    // input method hands them over. A pair of surrogates is one character.
    for (int i = 0; i < text.size(); ++i) {
        const int length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString ch = text.mid(i, length);
        i += length - 1;
        if (ch.size() == 1 && ch[0].unicode() >= 0x20 && ch[0].unicode() < 0x7f) {
            QTest::keyClicks(w, ch);
        } else {
            QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, ch, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, ch, Qt::NoModifier);
        }
    }
}

void ScriptLogin(ScriptedModals &modals, const QString &name, const QString &password)
{
    modals.Then([=](QDialog &d) {
        auto &login = static_cast<frmLogin &>(d);
        TypeText(login.txtUserName, name);
        Press(login.txtUserName, Qt::Key_Return);
        TypeText(login.txtPassword, password);
        Press(login.txtPassword, Qt::Key_Return);
    });
}

void SaveUserThroughWindow(const QString &name, const QString &password)
{
    frmUser window;
    window.show();
    QApplication::processEvents();
    TypeText(window.txtUserName, name);
    TypeText(window.txtPassword, password);
    QTest::mouseClick(window.cmdSave, Qt::LeftButton);
}
