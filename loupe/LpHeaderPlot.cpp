#include "LpHeaderPlot.h"

#include "LpHeaderRows.h"
#include "LpSectionModel.h"
#include "LpSectionView.h"

#include <QLabel>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <cmath>

using namespace QtCharts;

LpHeaderPlot::LpHeaderPlot(QWidget* parent)
    : QChartView(new QChart, parent) // the plain constructor's own chart would never be freed
{
    QChart* c = chart();
    c->legend()->hide();
    c->setMargins(QMargins(0, 0, 0, 0));
    c->setBackgroundRoundness(0);
    columnAxis = new QValueAxis;
    columnAxis->setLabelsVisible(false);
    columnAxis->setGridLineVisible(false);
    // The values go on the right, beside the section's colour bar, where there is room.
    valueAxis = new QValueAxis;
    valueAxis->setLabelFormat(QStringLiteral("%.10g"));
    valueAxis->setTickCount(3);
    QFont font = valueAxis->labelsFont();
    font.setPointSizeF(font.pointSizeF() * 0.8);
    valueAxis->setLabelsFont(font);
    caption = new QLabel(this);
    caption->setFont(font);
    c->addAxis(columnAxis, Qt::AlignBottom);
    c->addAxis(valueAxis, Qt::AlignRight);
    line = new QLineSeries;
    line->setPen(QPen(QColor(30, 90, 180), 1.5));
    mark = new QScatterSeries;
    mark->setMarkerSize(8);
    mark->setColor(QColor(200, 40, 40));
    mark->setBorderColor(QColor(200, 40, 40));
    for (QXYSeries* s : std::initializer_list<QXYSeries*>{line, mark}) {
        c->addSeries(s);
        s->attachAxis(columnAxis);
        s->attachAxis(valueAxis);
    }
    setFixedHeight(110);
}

LpHeaderPlot::~LpHeaderPlot() = default;

void LpHeaderPlot::SetSource(const LpSectionModel* newModel, const LpSectionView* newView)
{
    if (view)
        disconnect(view, nullptr, this, nullptr);
    model = newModel;
    view = newView;
    loadedIndex = -1;
    if (view)
        connect(view, &LpSectionView::Painted, this, &LpHeaderPlot::Follow);
}

void LpHeaderPlot::SetField(int newByte)
{
    byte = newByte;
    Follow();
}

void LpHeaderPlot::SetMarkedColumn(int column)
{
    if (column == marked)
        return;
    marked = column;
    PlaceMark();
}

void LpHeaderPlot::PlaceMark()
{
    mark->clear();
    if (marked >= 0 && marked < int(values.size()) && !std::isnan(values[std::size_t(marked)]))
        mark->append(double(marked) + 0.5, values[std::size_t(marked)]);
}

void LpHeaderPlot::Follow()
{
    if (!isVisible() || !model)
        return;
    const bool has = model->HasSection() && model->Survey();
    if (!has || model->Survey() != loadedSurvey || model->View() != loadedView
        || model->Index() != loadedIndex || model->Section().columns != loadedColumns
        || byte != loadedByte)
        Load();
    LineUp();
}

void LpHeaderPlot::Load()
{
    values.clear();
    loadedSurvey = model->HasSection() ? model->Survey() : nullptr;
    loadedView = model->View();
    loadedIndex = model->Index();
    loadedColumns = model->Section().columns;
    loadedByte = byte;
    const SegyField* field = FindSegyTraceField(byte);
    if (loadedSurvey && field)
        values
            = LpHeaderAlongSection(*loadedSurvey, loadedView, loadedIndex, loadedColumns, *field);
    QVector<QPointF> points;
    points.reserve(int(values.size()));
    double low = 0;
    double high = 0;
    bool any = false;
    for (std::size_t c = 0; c < values.size(); ++c) {
        if (std::isnan(values[c]))
            continue;
        points.append(QPointF(double(c) + 0.5, values[c]));
        low = any ? std::min(low, values[c]) : values[c];
        high = any ? std::max(high, values[c]) : values[c];
        any = true;
    }
    line->replace(points);
    const double pad = high > low ? (high - low) * 0.08 : std::max(1.0, std::abs(high) * 0.05);
    valueAxis->setRange(low - pad, high + pad);
    caption->setText(field ? QStringLiteral("%1 (byte %2): %3")
                                 .arg(QLatin1String(field->name))
                                 .arg(field->byte)
                                 .arg(QLatin1String(field->title))
                           : QString());
    if (field && loadedSurvey && loadedView == LpView::TimeSlice)
        caption->setText(caption->text() + tr(" - a time slice has no trace per column"));
    PlaceMark();
}

// The section's plot area, taken from the renderer as the view takes it, sets the strip's.
void LpHeaderPlot::LineUp()
{
    if (!view)
        return;
    const qreal ratio = view->devicePixelRatioF();
    LpRenderStyle style;
    style.scale = ratio;
    const QRect pixels = LpPlotRect(
        QSize(int(std::lround(view->width() * ratio)), int(std::lround(view->height() * ratio))),
        style);
    const QPoint origin = mapFromGlobal(view->mapToGlobal(QPoint(0, 0)));
    const double left = origin.x() + pixels.x() / ratio;
    const double width = pixels.width() / ratio;
    chart()->setPlotArea(QRectF(left, 22, width, std::max(10, height() - 28)));
    caption->move(int(left), 2);
    caption->adjustSize();
    const LpViewport& v = view->Viewport();
    if (v.IsValid())
        columnAxis->setRange(v.column0, v.column1);
}

void LpHeaderPlot::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    LineUp();
}
