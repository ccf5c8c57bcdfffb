#pragma once
#include <QDialog>

// The project ledger window: the user's projects, the ledger of the chosen one and its editor.
class frmMainMenu : public QDialog {
    Q_OBJECT
public:
    explicit frmMainMenu(QWidget *parent = nullptr);
};
