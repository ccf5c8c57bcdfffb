#pragma once
// What the two editors share: the window that tells its opener when it closes, the labelled
// inputs and the question before a change.
#include "data/Failure.h"

#include <QDialog>
#include <QStyle>
#include <QString>
#include <functional>

class QGridLayout;
class QLabel;
class QPushButton;
class QWidget;

// A white label on row `row` of grid with its input beside it; the input is light yellow and
// takes the label's text as its accessible name.
QLabel *AddField(QGridLayout *grid, int row, const QString &labelName, const QString &text, QWidget *input);

// The question both editors ask before a change: Yes and No, No as the default.
bool AskYesNo(const QString &prompt, const QString &title);

// An editor window in the program's look. Whichever way it closes (its Close button, the title
// bar, Escape), Form_Unload runs once and calls the callback its opener handed it.
class EditorWindow : public QDialog {
    Q_OBJECT
public:
    EditorWindow(const QString &name, const QString &title, std::function<void()> loadHeads, QWidget *parent);
    void Form_Unload();
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::function<void()> m_loadHeads;
    bool m_loaded = true;
};
