#pragma once

#include "LpSectionModel.h"
#include "LpSurvey.h"

#include "ui_LpMainWindowUi.h"

#include <QMainWindow>

#include <map>
#include <memory>

class LpHeaderDocks;
class LpHeaderPlot;
class LpReportDlg;
class LpSpectrumDock;
class OrvApp;
class OrvConsole;
class QLabel;
class QTimer;

// ORV Loupe's main window: the section view, the line chooser, the console and display docks,
// the menus whose actions do the work, and the status bar's readout. Window geometry, dock
// layout, recent files and display choices live in the settings store.
class LpMainWindow : public QMainWindow, public Ui::LpMainWindowUi {
    Q_OBJECT

public:
    explicit LpMainWindow(OrvApp* application);
    ~LpMainWindow() override;

    // The console every message goes to (not owned); set once it exists.
    void SetConsole(OrvConsole* console);
    // The text view the console writes into.
    QTextEdit* ConsoleTextView() const { return ConsoleView; }

    // Opens `path` and shows its first inline at once; the trace headers are indexed once that
    // picture is on the screen (at once when the window is hidden). On failure the message goes
    // to the console and a box, and the file shown before stays. Returns false when the file
    // was refused (or, hidden, could not be indexed).
    bool OpenFile(const QString& path);
    // Writes the current view into a PNG file of `size` pixels; false with a message on failure.
    bool ExportImage(const QString& path, const QSize& size);

    const LpSectionModel& Model() const { return model; }

    // The views that look inside the file (LpMainWindowDocks.cpp).
    LpHeaderDocks* HeaderDocks() const { return headerDocks; }
    LpSpectrumDock* SpectrumDock() const { return spectrumDock; }
    LpHeaderPlot* HeaderPlot() const { return headerPlot; }
    // The report of the last check; null before the first.
    LpReportDlg* ReportDialog() const { return reportDialog; }
    QAction* ReportAction() const { return actionReport; }
    // Checks the open file under the console's progress and shows the findings; false when
    // there is no file or the check was cancelled.
    bool ReportFile();
    // Shows the line holding `trace` (0-based), marks it and shows its header; false when the
    // trace has no place in the survey's views.
    bool GoToTrace(qint64 trace);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void on_actionOpen_triggered();
    void on_actionExport_triggered();
    void on_actionQuit_triggered();
    void on_actionNext_triggered();
    void on_actionPrevious_triggered();
    void on_actionFirst_triggered();
    void on_actionLast_triggered();
    void on_actionAbout_triggered();
    void on_LineSpin_valueChanged(int value);
    void on_LineSlider_valueChanged(int value);
    void on_SectionView_CursorMoved(int column, int row);

private:
    void CreateActions();
    void ReadSettings();
    void WriteSettings();
    void UpdateRecentMenu();
    void AddRecentFile(const QString& path);
    bool FinishOpen();
    // Shows line `index` of `view`; -1: the line it showed last, or its first (a time slice: its
    // middle).
    void ShowView(LpView view, int index);
    void ShowLine(int index);
    void UpdateLineControls();
    void UpdateTitle();
    void UpdateActions();
    void DisplayFromControls();
    void DisplayToControls();
    void ReleasePagesWhenIdle();
    void CreateInspectors();
    void UpdateInspectors();
    void InspectAt(int column, int row);
    void UpdateMark();

    OrvApp* application;
    OrvConsole* console = nullptr;
    std::unique_ptr<LpSurvey> survey;
    LpSectionModel model;
    LpDisplay display;
    QLabel* readout = nullptr;
    QString exportPath;
    std::map<LpView, int> lastIndex; // the line each view showed last
    // What was shown before the file being opened, back if its headers cannot be indexed.
    struct Shown {
        std::unique_ptr<LpSurvey> survey;
        LpView view = LpView::Inline;
        int index = 0;
        bool hadSection = false;
    } previous;
    QString openingPath;
    bool geometryPending = false;
    bool updatingControls = false;
    // A time slice maps a sample of every trace of the file, and paging through slices is quick
    // while those pages stay; once the paging stops they go back to the page cache.
    QTimer* releasePages = nullptr;

    LpHeaderDocks* headerDocks = nullptr;
    LpSpectrumDock* spectrumDock = nullptr;
    LpHeaderPlot* headerPlot = nullptr;
    LpReportDlg* reportDialog = nullptr;
    QAction* actionReport = nullptr;
    const SegyFile* inspectedFile = nullptr;
    qint64 markedTrace = -1; // clicked or gone to; its header shows when the cursor is away
};
