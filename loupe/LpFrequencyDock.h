#pragma once

#include "LpRender.h"

#include <QDockWidget>
#include <QTimer>

class LpSectionModel;
class LpSectionView;
class QLabel;

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

// The frequencies and amplitudes of the traces in view: their average amplitude spectrum
// (Hz from the sample interval, dB) and a histogram of their amplitudes after gain and AGC
// with the clip marked. Follows the section view a moment after it settles, while shown.
class LpSpectrumDock : public QDockWidget {
    Q_OBJECT

public:
    explicit LpSpectrumDock(QWidget* parent = nullptr);
    ~LpSpectrumDock() override;

    // The model and view to follow (not owned).
    void SetSource(const LpSectionModel* model, const LpSectionView* view);
    // Computes both plots now for what the view shows.
    void UpdateNow();

    QtCharts::QLineSeries* SpectrumSeries() const { return spectrumLine; }
    QtCharts::QLineSeries* HistogramSeries() const { return histogramLine; }
    // The clip marks: the vertical lines at -clip and +clip.
    QtCharts::QLineSeries* ClipSeries(int sign) const { return sign < 0 ? clipLow : clipHigh; }

private:
    void Schedule();

    const LpSectionModel* model = nullptr;
    const LpSectionView* view = nullptr;
    QTimer settle;
    QLabel* info = nullptr;
    QtCharts::QChart* spectrumChart = nullptr;
    QtCharts::QLineSeries* spectrumLine = nullptr;
    QtCharts::QValueAxis* hzAxis = nullptr;
    QtCharts::QValueAxis* dbAxis = nullptr;
    QtCharts::QChart* histogramChart = nullptr;
    QtCharts::QLineSeries* histogramLine = nullptr;
    QtCharts::QLineSeries* clipLow = nullptr;
    QtCharts::QLineSeries* clipHigh = nullptr;
    QtCharts::QValueAxis* amplitudeAxis = nullptr;
    QtCharts::QValueAxis* countAxis = nullptr;
};
