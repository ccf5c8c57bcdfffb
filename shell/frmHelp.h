#pragma once
#include <QDialog>

class QPushButton;
class QTextBrowser;
class QUrl;

// The user guide, read inside the program: pages and pictures of the guide open here, with Back,
// Forward and Close; addresses on the web go to the desktop's browser. Escape closes it.
// It is a window of its own beside the others, never modal: one at a time, opened with F1 from any
// window at the part of the guide about that window.
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

    // Shows the guide of the program folder at section (an anchor of its page; empty for the top),
    // beside the windows: opens the one guide window, or moves the open one to section and raises it.
    static frmHelp *ShowGuide(const QString &section = QString());
    // The guide window on show; nullptr when none.
    static frmHelp *Current();
    // F1 in window shows the guide at section.
    static void AddHelpKey(QWidget *window, const QString &section);

private:
    // Keeps the guide usable while a modal window is open: it belongs to the modal window on top,
    // and to the window below once that one closes.
    void followModal();
    bool m_restored = false;
};
