#pragma once
// The program's look: the window background, white labels and light-yellow inputs in the
// editors, picture buttons with tool tips, and the few control kinds the windows are built from.
#include <QColor>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <vector>

class QDialog;

namespace ui {

inline const QColor kWindowBackground{0x54, 0x63, 0x8F};
inline const QColor kLabelText{0xFF, 0xFF, 0xFF};
inline const QColor kLabelDisabledText{0xE2, 0xE5, 0xEC};
inline const QColor kInputBackground{0xFF, 0xFF, 0xC0};
inline const QColor kInputText{0x00, 0x00, 0x00};
// A box that takes no typing (disabled or read-only): pale grey instead of the input yellow.
inline const QColor kIdleBackground{0xF5, 0xF5, 0xF5};
inline const QColor kIdleText{0x50, 0x50, 0x50};
// The chosen row of a grid or list.
inline const QColor kSelectionBackground{0x1F, 0x5F, 0x9F};
inline const QColor kSelectionText{0xFF, 0xFF, 0xFF};
// Money received (credit) and money spent (debit): white text on these.
inline const QColor kCreditBackground{0x2E, 0x7D, 0x32};
inline const QColor kDebitBackground{0xC6, 0x28, 0x28};
// The outline around the control that has the keyboard focus.
inline const QColor kFocusOutline{0xFF, 0xC4, 0x00};

// A text colour the program sets and the background it is set on.
struct ColourPair {
    const char *where;
    QColor text;
    QColor background;
};
// Every pair of text and background colours the program sets.
std::vector<ColourPair> ColourPairs();
// The contrast ratio of two colours as readability guides measure it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor &a, const QColor &b);

// Gives a window the program's background colour, and marks the control with the keyboard focus
// with a clear outline in every window of the program.
// A dialog window's name (its objectName, by which tests and assistive tools find it) and
// caption, without the title bar's "?" button.
void NameDialog(QDialog *dialog, const QString &name, const QString &title);
void ApplyBackground(QWidget *window);
// White text, for labels over the window background.
void MakeLabelWhite(QLabel *label);
// Light-yellow input background (text boxes, drop-down lists); pale grey with grey text while
// the box is disabled or read-only, so that it does not look ready for typing.
void MakeInputYellow(QWidget *input);

QLabel *Label(const QString &name, const QString &text, QWidget *parent = nullptr);
QLineEdit *TextBox(const QString &name, QWidget *parent = nullptr);
// A text box that shows one "*" per character typed.
QLineEdit *PasswordBox(const QString &name, QWidget *parent = nullptr);
// A button that shows a picture and explains itself in its tool tip (and to assistive tools).
QPushButton *PictureButton(const QString &name, QStyle::StandardPixmap picture, const QString &toolTip,
                           QWidget *parent = nullptr);
// A picture button with a caption: assistive tools read the caption, the tool tip explains.
QPushButton *CaptionButton(const QString &name, QStyle::StandardPixmap picture, const QString &caption,
                           const QString &toolTip, QWidget *parent = nullptr);
// A group frame: enabling or disabling it covers everything inside.
QGroupBox *Frame(const QString &name, const QString &caption, QWidget *parent = nullptr);

// Pictures the style has none of, drawn here: a printer, and a page marked PDF.
enum class Drawn { Printer, PdfPage, Sheet };
QIcon DrawnPicture(Drawn picture);

}  // namespace ui
