// The main window's views inside the file: the header docks, the header plot above the
// section, the spectrum dock and the file report.

#include "LpMainWindow.h"

#include "LpFrequencyDock.h"
#include "LpHeaderDocks.h"
#include "LpHeaderPlot.h"
#include "LpHeaderRows.h"
#include "LpReportDlg.h"

#include <ConsoleProgress.h>
#include <OrvConsole.h>

#include <QDockWidget>
#include <QFileInfo>
#include <QVBoxLayout>

void LpMainWindow::CreateInspectors()
{
    headerDocks = new LpHeaderDocks(this);
    spectrumDock = new LpSpectrumDock(this);
    addDockWidget(Qt::RightDockWidgetArea, spectrumDock);
    tabifyDockWidget(headerDocks->TraceDock(), spectrumDock);
    spectrumDock->hide();
    spectrumDock->SetSource(&model, SectionView);

    headerPlot = new LpHeaderPlot(centralwidget);
    headerPlot->SetSource(&model, SectionView);
    headerPlot->hide();
    auto* layout = static_cast<QVBoxLayout*>(centralwidget->layout());
    layout->insertWidget(layout->indexOf(SectionView), headerPlot);

    menuView->addAction(headerDocks->TextDock()->toggleViewAction());
    menuView->addAction(headerDocks->BinaryDock()->toggleViewAction());
    menuView->addAction(headerDocks->TraceDock()->toggleViewAction());
    menuView->addAction(spectrumDock->toggleViewAction());
    QAction* hidePlot = menuView->addAction(tr("Hide the header plot"));
    connect(hidePlot, &QAction::triggered, headerPlot, &QWidget::hide);

    actionReport = new QAction(tr("&Report..."), this);
    actionReport->setObjectName(QStringLiteral("actionReport"));
    actionReport->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    actionReport->setStatusTip(tr("Check the whole file and list what is wrong in it"));
    const QList<QAction*> fileActions = menuFile->actions();
    const int exportAt = fileActions.indexOf(actionExport);
    menuFile->insertAction(fileActions.value(exportAt + 1), actionReport);
    connect(actionReport, &QAction::triggered, this, [this] { ReportFile(); });

    connect(headerDocks, &LpHeaderDocks::PlotRequested, this, [this](int byte) {
        headerPlot->show();
        headerPlot->SetField(byte);
    });
    connect(SectionView, &LpSectionView::CursorMoved, this, &LpMainWindow::InspectAt);
    connect(SectionView, &LpSectionView::Clicked, this, [this](int column, int row) {
        if (!survey || !model.HasSection())
            return;
        markedTrace = survey->TraceAt(model.View(), model.Index(), column, row);
        headerDocks->ShowTrace(markedTrace);
        UpdateMark();
    });
    connect(SectionView, &LpSectionView::Painted, this, &LpMainWindow::UpdateMark);
}

// A new file (or none): the header docks show its headers, the mark goes.
void LpMainWindow::UpdateInspectors()
{
    const SegyFile* file = survey ? &survey->File() : nullptr;
    actionReport->setEnabled(survey && survey->IsBuilt());
    if (file == inspectedFile)
        return;
    inspectedFile = file;
    markedTrace = -1;
    headerDocks->SetFile(file);
    UpdateMark();
}

void LpMainWindow::InspectAt(int column, int row)
{
    if (!survey || !model.HasSection())
        return;
    const qint64 trace
        = column >= 0 ? survey->TraceAt(model.View(), model.Index(), column, row) : -1;
    if (trace >= 0)
        headerDocks->ShowTrace(trace);
    else if (markedTrace >= 0)
        headerDocks->ShowTrace(markedTrace);
}

// The marked trace shows on the section and the header plot when the section holds it.
void LpMainWindow::UpdateMark()
{
    int column = -1;
    LpTracePlace place;
    if (survey && model.HasSection() && markedTrace >= 0
        && LpLocateTrace(*survey, markedTrace, model.View(), &place) && place.view == model.View()
        && place.index == model.Index())
        column = place.column;
    if (column < 0 && survey && model.HasSection() && markedTrace >= 0
        && model.View() != LpView::TimeSlice) {
        // A trace clicked on a view it is not located in (a crossline of a bin's trace is found
        // on its inline) is still marked where it was clicked.
        for (int c = 0; c < model.Section().columns && column < 0; ++c)
            if (survey->TraceAt(model.View(), model.Index(), c, 0) == markedTrace)
                column = c;
    }
    SectionView->SetMarkedColumn(column);
    headerPlot->SetMarkedColumn(column);
}

bool LpMainWindow::ReportFile()
{
    if (!survey)
        return false;
    const QString path = survey->File().FileName();
    std::vector<SegyFinding> findings;
    QString error;
    bool checked = false;
    {
        ConsoleProgress progress(console, tr("Checking %1").arg(QFileInfo(path).fileName()));
        SegyCheckOptions options;
        options.progress = progress.Callback();
        checked = CheckSegyFile(survey->File(), &findings, &error, options);
    }
    if (!checked) {
        console->Msg(tr("Check of %1 stopped: %2").arg(path, error), Qt::darkGray);
        return false;
    }
    if (!reportDialog) {
        reportDialog = new LpReportDlg(this);
        connect(reportDialog, &LpReportDlg::TraceChosen, this, &LpMainWindow::GoToTrace);
    }
    reportDialog->SetFindings(path, survey->File().TraceCount(), findings);
    console->Msg(reportDialog->SummaryLabel->text(), Qt::black);
    reportDialog->show();
    reportDialog->raise();
    return true;
}

bool LpMainWindow::GoToTrace(qint64 trace)
{
    LpTracePlace place;
    if (!survey || !LpLocateTrace(*survey, trace, model.View(), &place)) {
        console->WarningMsg(tr("Trace %1 is on no line that can be shown").arg(trace + 1), false);
        return false;
    }
    markedTrace = trace;
    if (place.view != model.View() || place.index != model.Index()) {
        (place.view == LpView::Inline             ? actionInline
                : place.view == LpView::Crossline ? actionCrossline
                : place.view == LpView::Gather    ? actionGather
                                                  : actionTraces)
            ->setChecked(true);
        ShowView(place.view, place.index);
    }
    headerDocks->ShowTrace(trace);
    UpdateMark();
    return true;
}
