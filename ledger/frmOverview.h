#pragma once
// The projects overview: the user's projects with their planned, received and spent money, a chart
// of planned against spent, and the running balance and spending by head of the selected project.
#include <QDialog>

class frmOverview : public QDialog {
    Q_OBJECT
public:
    // Lists the projects of statusId (the status the task list was last loaded with; 0 or 1 for all).
    explicit frmOverview(qint32 statusId, QWidget *parent = nullptr);
};
