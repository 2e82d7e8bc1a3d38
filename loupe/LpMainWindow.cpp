#include "LpMainWindow.h"

#include "LpExportDlg.h"

#include <ConsoleProgress.h>
#include <OrvApp.h>
#include <OrvConsole.h>

#include <QActionGroup>
#include <QCloseEvent>
#include <QColor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

#include <cmath>

namespace {

const char* const kRecentFiles = "RecentFiles";
constexpr int kMaxRecentFiles = 8;

QString LocalFileOf(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return {};
    const QUrl url = data->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

LpMainWindow::LpMainWindow(OrvApp* application)
    : QMainWindow(nullptr)
    , application(application)
{
    setupUi(this);
    resizeDocks({ConsoleDock}, {140}, Qt::Vertical);
    CreateActions();
    CreateInspectors();
    ReadSettings();
    DisplayToControls();
    model.SetDisplay(display);
    SectionView->SetModel(&model);
    UpdateRecentMenu();
    UpdateActions();
    UpdateTitle();
}

void LpMainWindow::ReleasePagesWhenIdle()
{
    if (!releasePages) {
        releasePages = new QTimer(this);
        releasePages->setSingleShot(true);
        releasePages->setInterval(1500);
        connect(releasePages, &QTimer::timeout, this, [this] {
            if (survey)
                survey->File().ReleaseResidentPages();
        });
    }
    if (model.HasSection() && model.View() == LpView::TimeSlice)
        releasePages->start();
}

LpMainWindow::~LpMainWindow()
{
    SectionView->SetModel(nullptr);
    model.SetSurvey(nullptr);
}

void LpMainWindow::SetConsole(OrvConsole* newConsole)
{
    console = newConsole;
}

void LpMainWindow::CreateActions()
{
    actionOpen->setShortcuts(QKeySequence::Open);
    actionQuit->setShortcuts(QKeySequence::Quit);
    actionZoomIn->setShortcuts({QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::Key_Plus)});
    actionZoomOut->setShortcuts({QKeySequence(QKeySequence::ZoomOut), QKeySequence(Qt::Key_Minus)});

    auto* views = new QActionGroup(this);
    const std::pair<QAction*, LpView> viewActions[] = {{actionInline, LpView::Inline},
        {actionCrossline, LpView::Crossline}, {actionTimeSlice, LpView::TimeSlice},
        {actionGather, LpView::Gather}, {actionTraces, LpView::Traces}};
    for (const auto& [action, view] : viewActions) {
        views->addAction(action);
        connect(action, &QAction::triggered, this, [this, view = view] { ShowView(view, -1); });
    }

    auto* modes = new QActionGroup(this);
    const std::pair<QAction*, LpDisplayMode> modeActions[]
        = {{actionDensity, LpDisplayMode::Density}, {actionWiggle, LpDisplayMode::Wiggle},
            {actionBoth, LpDisplayMode::Both}};
    for (const auto& [action, mode] : modeActions) {
        modes->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode = mode] {
            display.mode = mode;
            DisplayFromControls();
        });
    }

    auto* maps = new QActionGroup(this);
    const std::pair<QAction*, LpColorMapKind> mapActions[]
        = {{actionGrey, LpColorMapKind::Grey}, {actionRedWhiteBlue, LpColorMapKind::RedWhiteBlue},
            {actionViridis, LpColorMapKind::Viridis}};
    for (const auto& [action, map] : mapActions) {
        maps->addAction(action);
        connect(action, &QAction::triggered, this, [this, map = map] {
            display.colorMap = map;
            DisplayFromControls();
        });
    }

    connect(actionReversePolarity, &QAction::toggled, this, [this] { DisplayFromControls(); });
    connect(actionAgc, &QAction::toggled, this, [this] { DisplayFromControls(); });
    connect(
        SectionView, &LpSectionView::Painted, this,
        [this] {
            if (geometryPending && model.HasSection())
                FinishOpen();
        },
        Qt::QueuedConnection);
    connect(actionZoomIn, &QAction::triggered, SectionView, &LpSectionView::ZoomIn);
    connect(actionZoomOut, &QAction::triggered, SectionView, &LpSectionView::ZoomOut);
    connect(actionFit, &QAction::triggered, SectionView, &LpSectionView::Fit);

    connect(ClipModeBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        [this] { DisplayFromControls(); });
    for (QDoubleSpinBox* spin : {ClipPercentileSpin, ClipValueSpin, GainSpin})
        connect(spin, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            [this] { DisplayFromControls(); });
    connect(AgcWindowSpin, QOverload<int>::of(&QSpinBox::valueChanged), this,
        [this] { DisplayFromControls(); });

    menuView->addAction(ConsoleDock->toggleViewAction());
    menuView->addAction(DisplayDock->toggleViewAction());

    readout = new QLabel(this);
    statusBar()->addWidget(readout, 1);
    SectionView->setFocus();
}

// An absent or unusable value leaves the designed layout and the default display.
void LpMainWindow::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainWindow"));
    restoreGeometry(settings.value(QStringLiteral("Geometry")).toByteArray());
    restoreState(settings.value(QStringLiteral("State")).toByteArray());
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Display"));
    const QString mode = settings.value(QStringLiteral("Mode")).toString();
    if (mode == QLatin1String("wiggle"))
        display.mode = LpDisplayMode::Wiggle;
    else if (mode == QLatin1String("both"))
        display.mode = LpDisplayMode::Both;
    LpColorMapFromName(settings.value(QStringLiteral("ColorMap")).toString(), &display.colorMap);
    if (settings.value(QStringLiteral("ClipMode")).toString() == QLatin1String("value"))
        display.clipMode = LpClipMode::Value;
    const auto number = [&](const char* key, double* value) {
        bool ok = false;
        const double v = settings.value(QLatin1String(key)).toDouble(&ok);
        if (ok && std::isfinite(v))
            *value = v;
    };
    number("ClipPercentile", &display.clipPercentile);
    number("ClipValue", &display.clipValue);
    number("Gain", &display.gain);
    number("AgcWindowMs", &display.agcWindowMs);
    display.agc = settings.value(QStringLiteral("Agc"), false).toBool();
    display.reversePolarity = settings.value(QStringLiteral("ReversePolarity"), false).toBool();
    settings.endGroup();
}

void LpMainWindow::WriteSettings()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("MainWindow"));
    settings.setValue(QStringLiteral("Geometry"), saveGeometry());
    settings.setValue(QStringLiteral("State"), saveState());
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Display"));
    const char* modes[] = {"density", "wiggle", "both"};
    settings.setValue(QStringLiteral("Mode"), QLatin1String(modes[int(display.mode)]));
    settings.setValue(QStringLiteral("ColorMap"), LpColorMapName(display.colorMap));
    settings.setValue(QStringLiteral("ClipMode"),
        display.clipMode == LpClipMode::Value ? QStringLiteral("value")
                                              : QStringLiteral("percentile"));
    settings.setValue(QStringLiteral("ClipPercentile"), display.clipPercentile);
    settings.setValue(QStringLiteral("ClipValue"), display.clipValue);
    settings.setValue(QStringLiteral("Gain"), display.gain);
    settings.setValue(QStringLiteral("Agc"), display.agc);
    settings.setValue(QStringLiteral("AgcWindowMs"), display.agcWindowMs);
    settings.setValue(QStringLiteral("ReversePolarity"), display.reversePolarity);
    settings.endGroup();
}

// The controls show the display choices; a change of any of them comes back through
// DisplayFromControls.
void LpMainWindow::DisplayToControls()
{
    updatingControls = true;
    actionDensity->setChecked(display.mode == LpDisplayMode::Density);
    actionWiggle->setChecked(display.mode == LpDisplayMode::Wiggle);
    actionBoth->setChecked(display.mode == LpDisplayMode::Both);
    actionGrey->setChecked(display.colorMap == LpColorMapKind::Grey);
    actionRedWhiteBlue->setChecked(display.colorMap == LpColorMapKind::RedWhiteBlue);
    actionViridis->setChecked(display.colorMap == LpColorMapKind::Viridis);
    actionReversePolarity->setChecked(display.reversePolarity);
    actionAgc->setChecked(display.agc);
    ClipModeBox->setCurrentIndex(display.clipMode == LpClipMode::Value ? 1 : 0);
    ClipPercentileSpin->setValue(display.clipPercentile);
    ClipValueSpin->setValue(display.clipValue);
    GainSpin->setValue(display.gain);
    AgcWindowSpin->setValue(int(std::lround(display.agcWindowMs)));
    ClipPercentileSpin->setEnabled(display.clipMode == LpClipMode::Percentile);
    ClipValueSpin->setEnabled(display.clipMode == LpClipMode::Value);
    updatingControls = false;
}

void LpMainWindow::DisplayFromControls()
{
    if (updatingControls)
        return;
    display.reversePolarity = actionReversePolarity->isChecked();
    display.agc = actionAgc->isChecked();
    display.clipMode
        = ClipModeBox->currentIndex() == 1 ? LpClipMode::Value : LpClipMode::Percentile;
    display.clipPercentile = ClipPercentileSpin->value();
    display.clipValue = ClipValueSpin->value();
    display.gain = GainSpin->value();
    display.agcWindowMs = AgcWindowSpin->value();
    ClipPercentileSpin->setEnabled(display.clipMode == LpClipMode::Percentile);
    ClipValueSpin->setEnabled(display.clipMode == LpClipMode::Value);
    model.SetDisplay(display);
    SectionView->Refresh(true);
    WriteSettings();
}

void LpMainWindow::UpdateRecentMenu()
{
    menuRecent->clear();
    const QStringList files = QSettings().value(QLatin1String(kRecentFiles)).toStringList();
    for (const QString& path : files) {
        QAction* action = menuRecent->addAction(path);
        connect(action, &QAction::triggered, this, [this, path] { OpenFile(path); });
    }
    menuRecent->setEnabled(!files.isEmpty());
}

void LpMainWindow::AddRecentFile(const QString& path)
{
    QSettings settings;
    QStringList files = settings.value(QLatin1String(kRecentFiles)).toStringList();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kMaxRecentFiles)
        files.removeLast();
    settings.setValue(QLatin1String(kRecentFiles), files);
    UpdateRecentMenu();
}

// Opening has two steps. The file opens at once and its first inline (the traces at its start)
// is shown; the trace headers are read and indexed when that picture has reached the screen,
// under the console's progress. A refused file, a failed or cancelled index bring back what was
// shown before.
bool LpMainWindow::OpenFile(const QString& path)
{
    if (geometryPending)
        FinishOpen();
    const QString name = QFileInfo(path).fileName();
    QString error;
    QStringList warnings;
    std::unique_ptr<LpSurvey> opened;
    bool cancelled = false;
    {
        ConsoleProgress scan(console, tr("Scanning the traces of %1").arg(name));
        opened = LpSurvey::OpenFile(path, &error, &warnings, scan.Callback());
        cancelled = scan.Cancelled();
    }
    if (!opened) {
        if (cancelled)
            console->Msg(tr("Opening %1 cancelled; nothing changed").arg(path), Qt::darkGray);
        else
            console->ErrorMsg(error, true);
        return false;
    }
    for (const QString& warning : warnings)
        console->WarningMsg(warning, false);

    previous = {std::move(survey), model.View(), model.Index(), model.HasSection()};
    model.SetSurvey(nullptr);
    survey = std::move(opened);
    model.SetSurvey(survey.get());
    model.SetDisplay(display);
    openingPath = path;
    exportPath.clear();
    lastIndex.clear();
    ShowView(survey->DefaultView(), 0);
    UpdateActions();
    if (!isVisible())
        return FinishOpen();
    geometryPending = true;
    // Should no paint come (a covered window), the index is built all the same.
    QTimer::singleShot(500, this, [this] {
        if (geometryPending)
            FinishOpen();
    });
    return true;
}

bool LpMainWindow::FinishOpen()
{
    geometryPending = false;
    const QString name = QFileInfo(openingPath).fileName();
    const LpLineAxis provisional = survey->LineAxis(model.View());
    const qint64 shownLine = provisional.count > 0 ? provisional.At(model.Index()) : 0;
    const LpView shownView = model.View();
    QString error;
    QStringList warnings;
    bool built = false;
    bool cancelled = false;
    {
        ConsoleProgress headers(console, tr("Reading the trace headers of %1").arg(name));
        built = survey->BuildGeometry(&error, &warnings, headers.Callback());
        cancelled = headers.Cancelled();
    }
    if (!built) {
        model.SetSurvey(nullptr);
        survey = std::move(previous.survey);
        model.SetSurvey(survey.get());
        model.SetDisplay(display);
        if (survey && previous.hadSection) {
            QString readError;
            model.Show(previous.view, previous.index, &readError);
        }
        SectionView->Refresh(false);
        UpdateLineControls();
        UpdateTitle();
        UpdateActions();
        if (cancelled)
            console->Msg(
                tr("Opening %1 cancelled; nothing changed").arg(openingPath), Qt::darkGray);
        else
            console->ErrorMsg(error, true);
        return false;
    }
    previous = {};
    for (const QString& warning : warnings)
        console->WarningMsg(warning, false);
    console->Msg(survey->Summary(), Qt::black);
    AddRecentFile(openingPath);
    UpdateActions();
    // The line shown while the headers were read stays, now with its place in the grid.
    const LpView view = survey->HasView(shownView) ? shownView : survey->DefaultView();
    const LpLineAxis axis = survey->LineAxis(view);
    int index = 0;
    if (view == shownView && axis.count > 0 && axis.step != 0) {
        const qint64 at = (shownLine - axis.first) / axis.step;
        if (at >= 0 && at < axis.count && axis.At(int(at)) == shownLine)
            index = int(at);
    }
    lastIndex.clear();
    (view == LpView::Inline ? actionInline : actionTraces)->setChecked(true);
    ShowView(view, index);
    return true;
}

void LpMainWindow::ShowView(LpView view, int index)
{
    if (!survey || !survey->HasView(view))
        return;
    const LpLineAxis axis = survey->LineAxis(view);
    if (model.HasSection())
        lastIndex[model.View()] = model.Index();
    const auto last = lastIndex.find(view);
    if (index < 0) {
        index = last != lastIndex.end() ? last->second
            : view == LpView::TimeSlice ? axis.count / 2
                                        : 0;
    }
    QString error;
    if (!model.Show(view, index, &error))
        console->ErrorMsg(error, false);
    SectionView->Refresh(false);
    UpdateLineControls();
    UpdateTitle();
    ReleasePagesWhenIdle();
}

void LpMainWindow::ShowLine(int index)
{
    if (!survey || !model.HasSection())
        return;
    const LpLineAxis axis = survey->LineAxis(model.View());
    index = std::clamp(index, 0, std::max(0, axis.count - 1));
    if (index == model.Index())
        return;
    QString error;
    if (!model.Show(model.View(), index, &error))
        console->ErrorMsg(error, false);
    SectionView->Refresh(true);
    UpdateLineControls();
    UpdateTitle();
    ReleasePagesWhenIdle();
}

void LpMainWindow::UpdateLineControls()
{
    updatingControls = true;
    const bool has = survey && model.HasSection();
    const LpLineAxis axis = has ? survey->LineAxis(model.View()) : LpLineAxis();
    LineLabel->setText(has ? axis.title : tr("Line"));
    LineSpin->setEnabled(has);
    LineSlider->setEnabled(has);
    if (has) {
        const qint64 lo = std::min(axis.At(0), axis.At(axis.count - 1));
        const qint64 hi = std::max(axis.At(0), axis.At(axis.count - 1));
        LineSpin->setRange(int(lo), int(hi));
        LineSpin->setSingleStep(int(std::abs(axis.step)));
        LineSpin->setValue(int(axis.At(model.Index())));
        LineSlider->setRange(0, axis.count - 1);
        LineSlider->setPageStep(std::max(1, axis.count / 10));
        LineSlider->setValue(model.Index());
        LineTitle->setText(survey->LineTitle(model.View(), model.Index()));
    } else {
        LineTitle->clear();
    }
    updatingControls = false;
}

void LpMainWindow::UpdateTitle()
{
    if (!survey) {
        setWindowTitle(application->AppName());
        return;
    }
    QString title = QFileInfo(survey->File().FileName()).fileName();
    if (model.HasSection())
        title += QStringLiteral(" - ") + survey->LineTitle(model.View(), model.Index());
    setWindowTitle(title + QStringLiteral(" - ") + application->AppName());
}

void LpMainWindow::UpdateActions()
{
    const bool has = survey != nullptr && survey->IsBuilt();
    const std::pair<QAction*, LpView> viewActions[] = {{actionInline, LpView::Inline},
        {actionCrossline, LpView::Crossline}, {actionTimeSlice, LpView::TimeSlice},
        {actionGather, LpView::Gather}, {actionTraces, LpView::Traces}};
    for (const auto& [action, view] : viewActions)
        action->setEnabled(has && survey->HasView(view));
    for (QAction* action : {actionNext, actionPrevious, actionFirst, actionLast, actionExport,
             actionZoomIn, actionZoomOut, actionFit})
        action->setEnabled(has);
    UpdateInspectors();
}

void LpMainWindow::on_actionOpen_triggered()
{
    const QString start = survey ? QFileInfo(survey->File().FileName()).absolutePath() : QString();
    const QString path = QFileDialog::getOpenFileName(this, tr("Open SEG-Y file"), start,
        tr("SEG-Y files (*.sgy *.segy *.SGY *.SEGY);;All files (*)"));
    if (!path.isEmpty())
        OpenFile(path);
}

void LpMainWindow::on_actionExport_triggered()
{
    if (!survey || !model.HasSection())
        return;
    if (exportPath.isEmpty()) {
        const QFileInfo info(survey->File().FileName());
        QString line = survey->LineTitle(model.View(), model.Index()).toLower();
        line.replace(QLatin1Char(' '), QLatin1Char('-'));
        exportPath = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
            + QLatin1Char('-') + line + QStringLiteral(".png");
    }
    LpExportDlg dialog(exportPath, SectionView->size(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    exportPath = dialog.FilePath();
    ExportImage(exportPath, dialog.ImageSize());
}

bool LpMainWindow::ExportImage(const QString& path, const QSize& size)
{
    const QImage image = SectionView->Render(size);
    if (path.isEmpty() || image.isNull() || !image.save(path, "PNG")) {
        console->ErrorMsg(tr("%1: cannot write a PNG image of %2 x %3 pixels there")
                              .arg(path)
                              .arg(size.width())
                              .arg(size.height()),
            true);
        return false;
    }
    console->Msg(tr("Image written: %1 (%2 x %3)").arg(path).arg(size.width()).arg(size.height()),
        Qt::black);
    return true;
}

void LpMainWindow::on_actionQuit_triggered()
{
    close();
}

void LpMainWindow::on_actionNext_triggered()
{
    ShowLine(model.Index() + 1);
}

void LpMainWindow::on_actionPrevious_triggered()
{
    ShowLine(model.Index() - 1);
}

void LpMainWindow::on_actionFirst_triggered()
{
    ShowLine(0);
}

void LpMainWindow::on_actionLast_triggered()
{
    if (survey && model.HasSection())
        ShowLine(survey->LineAxis(model.View()).count - 1);
}

void LpMainWindow::on_actionAbout_triggered()
{
    application->ShowAbout();
}

void LpMainWindow::on_LineSpin_valueChanged(int value)
{
    if (updatingControls || !survey || !model.HasSection())
        return;
    const LpLineAxis axis = survey->LineAxis(model.View());
    ShowLine(int(std::llround(double(value - axis.first) / double(axis.step))));
}

void LpMainWindow::on_LineSlider_valueChanged(int value)
{
    if (!updatingControls)
        ShowLine(value);
}

void LpMainWindow::on_SectionView_CursorMoved(int column, int row)
{
    if (!survey || !model.HasSection() || column < 0) {
        readout->clear();
        return;
    }
    const LpReadout r = survey->Readout(model.View(), model.Index(), model.Section(), column, row);
    if (!r.valid) {
        readout->clear();
        return;
    }
    QString text;
    if (r.trace > 0)
        text = tr("trace %1   inline %2   crossline %3   offset %4   X %5   Y %6   ")
                   .arg(r.trace)
                   .arg(r.inlineNumber)
                   .arg(r.crosslineNumber)
                   .arg(r.offset)
                   .arg(r.cdpX, 0, 'f', 2)
                   .arg(r.cdpY, 0, 'f', 2);
    else
        text = tr("no trace   ");
    text += tr("time %1 ms   amplitude %2").arg(r.time).arg(double(r.amplitude), 0, 'g', 7);
    readout->setText(text);
}

void LpMainWindow::closeEvent(QCloseEvent* event)
{
    WriteSettings();
    event->accept();
}

void LpMainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFileOf(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void LpMainWindow::dropEvent(QDropEvent* event)
{
    const QString path = LocalFileOf(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    OpenFile(path);
}
