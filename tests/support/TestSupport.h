#pragma once
// Shared test fixtures: a fresh program folder with its own qmk.dat, a scripted message box
// that records every box and answers from a queue, and helpers to drive modal windows.
#include "data/MyFun.h"
#include "ui/Seams.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

class QDialog;
class QWidget;

// Records every message box; answers from a queue. A box with no answer queued fails the test
// (it is answered with its first button so that the program goes on).
class ScriptedMessageBox {
public:
    ScriptedMessageBox();
    ~ScriptedMessageBox();
    // Queues the answer to the next box.
    void Expect(ui::Answer answer = ui::Answer::OK);
    const std::vector<ui::MessageBoxRequest> &Shown() const { return m_shown; }
    int Count() const { return int(m_shown.size()); }
    void Forget() { m_shown.clear(); }

private:
    ui::MessageBoxHandler m_previous;
    std::deque<ui::Answer> m_answers;
    std::vector<ui::MessageBoxRequest> m_shown;
};

// A temporary program folder holding a fresh qmk.dat made by the database code, with the
// statement log on and a scripted message box in place. Tests of windows also get the
// desktop, end-of-program and trace seams recorded.
class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the folder's qmk.dat as start-up does.
    void OpenDatabase();
    QString DatabasePath() const;
    QString Folder() const { return m_dir.path(); }

    // Runs a statement on the open connection and answers the first column of every row, as text.
    QStringList Column(const QString &sql);
    // The first column of the first row, as text (empty when there is none).
    QString Scalar(const QString &sql);
    // Runs a set-up statement on the open connection, outside the statement log.
    void Seed(const QString &sql);
    const QStringList &Statements() const { return StatementLog::Entries(); }

    ScriptedMessageBox boxes;
    QStringList opened;     // what was handed to the desktop
    QList<QByteArray> traces;
    int endProgramCalls = 0;

private:
    QTemporaryDir m_dir;
    ui::OpenHandler m_prevOpen;
    ui::EndHandler m_prevEnd;
    ui::TraceHandler m_prevTrace;
};

// Shows a modal window through the modal seam and runs script on it instead of waiting: the
// window is shown, the script drives it, and the answer is its result. Scripts are consumed in
// order, one per modal window; a window opened with no script left fails the test and is closed.
class ScriptedModals {
public:
    using Script = std::function<void(QDialog &)>;
    ScriptedModals();
    ~ScriptedModals();
    void Then(Script script);
    int Opened() const { return m_opened; }
    QStringList Titles() const { return m_titles; }

private:
    ui::ModalHandler m_previous;
    std::deque<Script> m_scripts;
    int m_opened = 0;
    QStringList m_titles;
};

// Finds a child control by its object name; fails the test when it is missing.
template <typename T>
T *Find(QWidget *parent, const char *name);

// A file's bytes (empty when it cannot be read).
QByteArray BytesOf(const QString &path);
// Prints QString values readably in failure messages.
void PrintTo(const QString &s, std::ostream *os);

// Types text into a widget as keystrokes, and presses one key.
void TypeInto(QWidget *w, const QString &text);
void Press(QWidget *w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier);

#include "TestSupport.inl"

// Types any text into a widget as key events, characters beyond ASCII included.
void TypeText(QWidget *w, const QString &text);
// Scripts the next login dialog: the name, Enter, the password, Enter.
void ScriptLogin(ScriptedModals &modals, const QString &name, const QString &password);
// Saves a user through the user entry window as a user would: types both boxes, clicks Save.
void SaveUserThroughWindow(const QString &name, const QString &password);
