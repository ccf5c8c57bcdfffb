#pragma once
#include <QDialog>

class QPushButton;
class QTextBrowser;
class QUrl;

// The user guide, read inside the program: pages and pictures of the guide open here, with Back,
// Forward and Close; addresses on the web go to the desktop's browser. Escape closes it.
class frmHelp : public QDialog {
    Q_OBJECT
public:
    // Shows the guide at page (a file of the program folder's guide).
    explicit frmHelp(const QString &page, QWidget *parent = nullptr);

    QTextBrowser *txtGuide;
    QPushButton *btnBack;
    QPushButton *btnForward;
    QPushButton *btnClose;

    // Follows a link of the page on show, as a click on it does.
    void FollowLink(const QUrl &link);
};
