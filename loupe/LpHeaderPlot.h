#pragma once

#include "LpRender.h"
#include "LpSurvey.h"

#include <QtCharts/QChartView>

class LpSectionModel;
class LpSectionView;
class QLabel;

namespace QtCharts {
class QLineSeries;
class QScatterSeries;
class QValueAxis;
} // namespace QtCharts

// A strip above the section: one trace header field plotted against the section's columns,
// its plot area lined up with the section's and its horizontal range the section's, so that
// it zooms and pans with it. The marked column shows as a dot.
class LpHeaderPlot : public QtCharts::QChartView {
    Q_OBJECT

public:
    explicit LpHeaderPlot(QWidget* parent = nullptr);
    ~LpHeaderPlot() override;

    // The model and view to follow (not owned).
    void SetSource(const LpSectionModel* model, const LpSectionView* view);
    // Plots the trace header field starting at `byte`; 0 for none.
    void SetField(int byte);
    int Field() const { return byte; }
    // Marks `column` of the section; -1 for none.
    void SetMarkedColumn(int column);
    // Reads the values again when the section changed, and lines up with the view.
    void Follow();

    QtCharts::QLineSeries* Series() const { return line; }
    QtCharts::QValueAxis* ColumnAxis() const { return columnAxis; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LineUp();
    void Load();
    void PlaceMark();

    const LpSectionModel* model = nullptr;
    const LpSectionView* view = nullptr;
    int byte = 0;
    int marked = -1;
    // The section the values are of.
    const LpSurvey* loadedSurvey = nullptr;
    LpView loadedView = LpView::Inline;
    int loadedIndex = -1;
    int loadedColumns = -1;
    int loadedByte = 0;
    std::vector<double> values;
    QLabel* caption = nullptr; // the field's name and byte
    QtCharts::QLineSeries* line = nullptr;
    QtCharts::QScatterSeries* mark = nullptr;
    QtCharts::QValueAxis* columnAxis = nullptr;
    QtCharts::QValueAxis* valueAxis = nullptr;
};
