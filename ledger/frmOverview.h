#pragma once
// The projects overview: the user's projects with their planned, received and spent money and, for
// those planned by heads, the plan's total and the two forecasts at completion; a chart of planned
// against spent; and the running balance, the spending by head and the plan by heads of the selected
// project.
#include "ledger/ProjectFigures.h"

#include "ui/Window.h"

#include <QDialog>

class QChartView;
class QLabel;
class QPushButton;
class QTableView;
class OverviewModel;

class frmOverview : public QDialog {
    Q_OBJECT
public:
    // Lists the projects of statusId (the status the task list was last loaded with; 0 or 1 for all).
    explicit frmOverview(qint32 statusId, QWidget *parent = nullptr);

    // The table's columns.
    enum Column {
        Id, Name, Status, Start, Planned, Received, Spent, Balance, SpentShare,
        PlanByHeads, ForecastOnPlan, ForecastAtRate, ColumnCount
    };

    ui::NameLabel *lblUser;
    ui::NameLabel *lblProject;          // the selected project, over its two charts
    QTableView *tblProjects;     // the projects, and their totals in the last row whatever the sort
    QChartView *chtPlannedSpent;
    QChartView *chtBalance;      // the selected project's running balance
    QChartView *chtSpending;     // and what it spent by head
    QChartView *chtBudget;       // and its plan by heads: planned, spent and forecast per head
    QPushButton *btnSaveChart1;  // each chart's "Save chart as PNG", in the order above
    QPushButton *btnSaveChart2;
    QPushButton *btnSaveChart3;
    QPushButton *btnSaveChart4;
    QPushButton *cmdClose;

    // The projects as read, in TaskID order.
    const std::vector<ProjectFigures> &Projects() const;
    // The project whose charts are on show; 0 when none is.
    qint32 SelectedProject() const { return m_selected; }
    // Writes a chart view's picture to a PNG file the user chooses; answers whether it was written.
    bool SaveChart(QChartView *view);

private:
    void showProject(qint32 taskId, const QString &name);
    void selectionChanged();

    OverviewModel *m_model;
    QString m_selectedName;
    qint32 m_selected = 0;
};
