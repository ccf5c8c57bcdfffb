#pragma once
// What the two editors share: the window that tells its opener when it closes, the labelled
// inputs, the question before a change and the way of running a step whose failure is ignored.
#include <QDialog>
#include <QStyle>
#include <QString>
#include <exception>
#include <functional>

class QGridLayout;
class QLabel;
class QPushButton;
class QWidget;

// Runs one step of a handler; a failure skips that step only, and nothing is shown.
template <typename Body>
void IgnoreFailure(Body &&body)
{
    try {
        body();
    } catch (const std::exception &) {
    }
}

// A white label on row `row` of grid with its input beside it; the input is light yellow and
// takes the label's text as its accessible name.
QLabel *AddField(QGridLayout *grid, int row, const QString &labelName, const QString &text, QWidget *input);

// A picture button with a caption: assistive tools read the caption, the tool tip explains.
QPushButton *CaptionedButton(const QString &name, QStyle::StandardPixmap picture, const QString &caption,
                             const QString &toolTip, QWidget *parent);

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
