#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The About box: title, version, description and two lines about the maker.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    QLabel *picBackground;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QLabel *lblDisclaimer;
    QLabel *lblDatabase;  // which database is in use
    QPushButton *cmdOK;

    void Form_Load();
    void cmdOK_Click();
};

// The two lines about the maker.
inline const char *const kMakerLine1 = "Made by the Quillmark team, Porto.";
inline const char *const kMakerLine2 = "Free to use and share; no warranty of any kind.";

// The About box's background picture, 400 by 300 pixels.
class QPixmap;
QPixmap AboutPicture();
