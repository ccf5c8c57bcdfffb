#pragma once
// Windows that fit the screen they open on, and labels that show names of any length.
#include <QLabel>
#include <QSize>

class QAbstractButton;
class QKeySequence;

namespace ui {

// A label that shows a name (a project, a user): a name too long for the room it has ends in "…",
// and the whole name is in its tool tip. Its length never widens the window it is in.
class NameLabel : public QLabel {
    Q_OBJECT
public:
    explicit NameLabel(const QString &name, QWidget *parent = nullptr);
    // The whole name; text() keeps it whole, the label shows what fits.
    void setText(const QString &text);
    // What the label shows at its present width.
    QString ShownText() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// Sizes a top-level window to wanted, or less where the available area of its screen (the one
// its parent is on) is smaller, and centres it there. The size and place the user last gave it
// are restored instead where they still fit; they are kept per user and window when it closes.
// Answers whether the kept size and place were restored.
bool PlaceWindow(QWidget *window, QSize wanted);

// While control is disabled its tool tip says why (reason); enabled, it has its own tool tip back.
void ExplainWhenDisabled(QWidget *control, const QString &reason);
// A reason said instead of the control's usual one while it is disabled; an empty reason brings
// the usual one back.
void OverrideDisabledReason(QWidget *control, const QString &reason);

// A key of the button's window that presses the button while it can be used, wherever the focus
// is in the window (a key held by the button itself did nothing with the focus in a list).
void BindKey(QAbstractButton *button, const QKeySequence &key);

// The area a window may take on the screen it is on, frame included.
QRect AvailableArea(const QWidget *window);

}  // namespace ui
