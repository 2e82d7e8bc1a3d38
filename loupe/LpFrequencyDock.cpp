#include "LpFrequencyDock.h"

#include "LpFrequencies.h"
#include "LpSectionModel.h"
#include "LpSectionView.h"

#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>

using namespace QtCharts;

namespace {

constexpr int kSettleMs = 200;
constexpr int kHistogramBins = 80;

// The smallest of 1, 2 and 5 times a power of ten that is at least `step`.
double NiceStep(double step)
{
    if (!(step > 0))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= step)
            return m * power;
    return 10 * power;
}

QChart* MakeChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    chart->setTitleFont(font);
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    return chart;
}

QValueAxis* MakeAxis(QChart* chart, const QString& title, Qt::Alignment side)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%.4g"));
    axis->setTickCount(5);
    QFont font = axis->labelsFont();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    axis->setLabelsFont(font);
    axis->setTitleFont(font);
    chart->addAxis(axis, side);
    return axis;
}

QLineSeries* MakeSeries(QChart* chart, QValueAxis* x, QValueAxis* y, const QColor& colour)
{
    auto* series = new QLineSeries;
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    series->setPen(QPen(colour, 1.5));
    return series;
}

} // namespace

LpSpectrumDock::LpSpectrumDock(QWidget* parent)
    : QDockWidget(tr("Spectrum and amplitudes"), parent)
{
    setObjectName(QStringLiteral("SpectrumDock"));
    auto* contents = new QWidget(this);
    auto* layout = new QVBoxLayout(contents);
    layout->setContentsMargins(4, 4, 4, 4);
    info = new QLabel(contents);
    info->setWordWrap(true);
    auto* splitter = new QSplitter(Qt::Vertical, contents);
    layout->addWidget(info);
    layout->addWidget(splitter, 1);
    setWidget(contents);

    spectrumChart = MakeChart(tr("Average amplitude spectrum"));
    hzAxis = MakeAxis(spectrumChart, tr("Hz"), Qt::AlignBottom);
    dbAxis = MakeAxis(spectrumChart, tr("dB"), Qt::AlignLeft);
    dbAxis->setLabelFormat(QStringLiteral("%.0f"));
    // Dynamic ticks need their interval first: an interval of 0 never ends a row of ticks.
    hzAxis->setTickInterval(NiceStep(hzAxis->max() / 5));
    hzAxis->setTickAnchor(0);
    hzAxis->setTickType(QValueAxis::TicksDynamic);
    spectrumLine = MakeSeries(spectrumChart, hzAxis, dbAxis, QColor(30, 90, 180));
    histogramChart = MakeChart(tr("Amplitudes in view"));
    amplitudeAxis = MakeAxis(histogramChart, tr("amplitude"), Qt::AlignBottom);
    amplitudeAxis->setTickCount(3);
    countAxis = MakeAxis(histogramChart, tr("samples"), Qt::AlignLeft);
    countAxis->setLabelFormat(QStringLiteral("%.0f"));
    histogramLine = MakeSeries(histogramChart, amplitudeAxis, countAxis, QColor(60, 60, 60));
    clipLow = MakeSeries(histogramChart, amplitudeAxis, countAxis, QColor(200, 40, 40));
    clipHigh = MakeSeries(histogramChart, amplitudeAxis, countAxis, QColor(200, 40, 40));
    for (QChart* chart : {spectrumChart, histogramChart}) {
        auto* chartView = new QChartView(chart, splitter);
        chartView->setRenderHint(QPainter::Antialiasing);
        chartView->setMinimumSize(220, 160);
        splitter->addWidget(chartView);
    }

    settle.setSingleShot(true);
    settle.setInterval(kSettleMs);
    connect(&settle, &QTimer::timeout, this, &LpSpectrumDock::UpdateNow);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            Schedule();
    });
}

LpSpectrumDock::~LpSpectrumDock() = default;

void LpSpectrumDock::SetSource(const LpSectionModel* newModel, const LpSectionView* newView)
{
    if (view)
        disconnect(view, nullptr, this, nullptr);
    model = newModel;
    view = newView;
    if (view)
        connect(view, &LpSectionView::Painted, this, &LpSpectrumDock::Schedule);
}

void LpSpectrumDock::Schedule()
{
    if (isVisible())
        settle.start();
}

void LpSpectrumDock::UpdateNow()
{
    spectrumLine->clear();
    histogramLine->clear();
    clipLow->clear();
    clipHigh->clear();
    if (!model || !view || !model->HasSection() || !model->Survey()) {
        info->setText(tr("No section"));
        return;
    }
    const LpViewport& v = view->Viewport();
    const int c0 = int(std::floor(v.column0));
    const int c1 = int(std::ceil(v.column1));
    const int r0 = int(std::floor(v.row0));
    const int r1 = int(std::ceil(v.row1));

    const double intervalMs = model->Survey()->SampleIntervalMs();
    const LpSpectrum spectrum = LpAverageSpectrum(model->Section(), c0, c1, r0, r1, intervalMs);
    QVector<QPointF> points;
    points.reserve(int(spectrum.hz.size()));
    for (std::size_t k = 0; k < spectrum.hz.size(); ++k)
        points.append(QPointF(spectrum.hz[k], spectrum.db[k]));
    spectrumLine->replace(points);
    const double nyquist = spectrum.hz.empty() ? 1 : spectrum.hz.back();
    hzAxis->setRange(0, nyquist);
    hzAxis->setTickInterval(NiceStep(nyquist / 4));
    double lowest = 0;
    for (double db : spectrum.db)
        lowest = std::min(lowest, db);
    // Ticks every 10 dB (20 dB below -80 dB).
    const double step = lowest < -80 ? 20 : 10;
    const double bottom = std::floor(std::max(lowest, -120.0) / step) * step;
    dbAxis->setRange(std::min(bottom, -step), 0);
    dbAxis->setTickCount(int(std::lround(-dbAxis->min() / step)) + 1);

    const LpScaled& scaled = model->Scaled();
    double range = 2.0 * scaled.clip;
    if (!(range > 0) || !std::isfinite(range))
        range = 1;
    const LpHistogram histogram
        = LpAmplitudeHistogram(scaled, c0, c1, r0, r1, range, kHistogramBins);
    points.clear();
    qint64 most = 1;
    for (std::size_t i = 0; i < histogram.counts.size(); ++i) {
        const double x0 = histogram.low + double(i) * histogram.BinWidth();
        points.append(QPointF(x0, double(histogram.counts[i])));
        points.append(QPointF(x0 + histogram.BinWidth(), double(histogram.counts[i])));
        most = std::max(most, histogram.counts[i]);
    }
    histogramLine->replace(points);
    amplitudeAxis->setRange(-range, range);
    countAxis->setRange(0, double(most) * 1.05);
    clipLow->replace(
        QVector<QPointF>{QPointF(-scaled.clip, 0), QPointF(-scaled.clip, double(most))});
    clipHigh->replace(
        QVector<QPointF>{QPointF(scaled.clip, 0), QPointF(scaled.clip, double(most))});

    QString text = spectrum.traces > 0
        ? tr("%1 traces of %2 samples, %3 ms apart")
              .arg(spectrum.traces)
              .arg(std::min(r1, model->Section().rows) - std::max(r0, 0))
              .arg(intervalMs)
        : model->Section().rowsAreSamples
        ? tr("No spectrum: the view holds no trace")
        : tr("No spectrum: the rows of a time slice are not samples");
    text += tr("; clip %1").arg(double(scaled.clip), 0, 'g', 4);
    if (histogram.below + histogram.above > 0)
        text += tr("; %1 samples beyond twice the clip").arg(histogram.below + histogram.above);
    info->setText(text);
}
