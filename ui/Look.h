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

namespace ui {

inline const QColor kWindowBackground{0x54, 0x63, 0x8F};
inline const QColor kInputBackground{0xFF, 0xFF, 0xC0};

// Gives a window the program's background colour.
void ApplyBackground(QWidget *window);
// White text, for labels over the window background.
void MakeLabelWhite(QLabel *label);
// Light-yellow input background (text boxes, drop-down lists).
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
