#pragma once

#include "ui_LpReportDlgUi.h"

#include "SegyCheck.h"

#include <QDialog>

// The findings of a file check, each with its traces: a double-click on a trace (or on a
// finding, for its first trace) asks for it to be shown. Stays open beside the window.
class LpReportDlg : public QDialog, public Ui::LpReportDlgUi {
    Q_OBJECT

public:
    explicit LpReportDlg(QWidget* parent = nullptr);

    // Shows the findings of `fileName` (`traceCount` traces).
    void SetFindings(
        const QString& fileName, qint64 traceCount, const std::vector<SegyFinding>& findings);
    // The trace (0-based) an item of the tree stands for; -1 for none.
    static qint64 TraceOf(const QTreeWidgetItem* item);
    // The code of a finding's item (SegyFinding::code); empty for a trace's item.
    static QString CodeOf(const QTreeWidgetItem* item)
    {
        return item->data(2, Qt::UserRole).toString();
    }

signals:
    void TraceChosen(qint64 trace);

private slots:
    void on_FindingTree_itemDoubleClicked(QTreeWidgetItem* item, int column);
};
