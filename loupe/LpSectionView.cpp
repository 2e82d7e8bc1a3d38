#include "LpSectionView.h"

#include "LpSectionModel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr double kZoomStep = 1.25;

} // namespace

LpSectionView::LpSectionView(QWidget* parent)
    : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

LpSectionView::~LpSectionView() = default;

void LpSectionView::SetModel(LpSectionModel* newModel)
{
    model = newModel;
    Refresh(false);
}

void LpSectionView::Refresh(bool keepViewport)
{
    const bool has = model && model->HasSection();
    const int columns = has ? model->Section().columns : 0;
    const int rows = has ? model->Section().rows : 0;
    if (!keepViewport || columns != shownColumns || rows != shownRows || !viewport.IsValid())
        viewport = has ? LpFitViewport(model->Section()) : LpViewport();
    shownColumns = columns;
    shownRows = rows;
    Redraw();
}

QImage LpSectionView::Render(const QSize& size) const
{
    if (!model || !model->HasSection() || size.isEmpty()) {
        QImage empty(size, QImage::Format_RGB32);
        empty.fill(palette().color(QPalette::Window));
        return empty;
    }
    LpRenderStyle style;
    style.scale = size.width() > width() ? double(size.width()) / std::max(1, width()) : 1.0;
    style.scale = std::clamp(style.scale, 1.0, 8.0);
    return LpRenderImage(size, model->Section(), model->Scaled(), model->Display().mode,
        model->Table(), viewport, style);
}

// The picture is made here, outside paintEvent, at device pixels; paintEvent only copies it.
void LpSectionView::Redraw()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
    if (!model || !model->HasSection()) {
        picture = QImage(pixels, QImage::Format_RGB32);
        picture.fill(palette().color(QPalette::Window));
    } else {
        LpRenderStyle style;
        style.scale = ratio;
        picture = LpRenderImage(pixels, model->Section(), model->Scaled(), model->Display().mode,
            model->Table(), viewport, style);
    }
    picture.setDevicePixelRatio(ratio);
    update();
}

void LpSectionView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), picture);
    emit Painted();
}

void LpSectionView::resizeEvent(QResizeEvent*)
{
    Redraw();
}

QRectF LpSectionView::PlotRect() const
{
    const qreal ratio = devicePixelRatioF();
    LpRenderStyle style;
    style.scale = ratio;
    const QRect pixels = LpPlotRect(
        QSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio))), style);
    return QRectF(
        pixels.x() / ratio, pixels.y() / ratio, pixels.width() / ratio, pixels.height() / ratio);
}

QPointF LpSectionView::SectionPoint(const QPointF& p) const
{
    const QRectF plot = PlotRect();
    return {viewport.column0
            + (p.x() - plot.left()) / plot.width() * (viewport.column1 - viewport.column0),
        viewport.row0 + (p.y() - plot.top()) / plot.height() * (viewport.row1 - viewport.row0)};
}

void LpSectionView::SetViewport(const LpViewport& v)
{
    if (!v.IsValid() || shownColumns <= 0)
        return;
    // No closer than a few pixels a sample, no farther than the whole section.
    const double minColumns = std::min(4.0, double(shownColumns));
    const double minRows = std::min(4.0, double(shownRows));
    if (v.column1 - v.column0 < minColumns || v.row1 - v.row0 < minRows)
        return;
    viewport = v;
    Redraw();
}

void LpSectionView::ZoomAbout(const QPointF& at, double factor)
{
    if (!model || !model->HasSection())
        return;
    const QPointF c = SectionPoint(at);
    LpViewport v = viewport;
    v.column0 = c.x() - (c.x() - v.column0) / factor;
    v.column1 = c.x() + (v.column1 - c.x()) / factor;
    v.row0 = c.y() - (c.y() - v.row0) / factor;
    v.row1 = c.y() + (v.row1 - c.y()) / factor;
    if (factor < 1 && v.column1 - v.column0 >= shownColumns && v.row1 - v.row0 >= shownRows) {
        Fit();
        return;
    }
    SetViewport(v);
}

void LpSectionView::ZoomIn()
{
    ZoomAbout(PlotRect().center(), kZoomStep);
}

void LpSectionView::ZoomOut()
{
    ZoomAbout(PlotRect().center(), 1 / kZoomStep);
}

void LpSectionView::Fit()
{
    if (!model || !model->HasSection())
        return;
    viewport = LpFitViewport(model->Section());
    Redraw();
}

void LpSectionView::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0)
        ZoomAbout(event->position(), std::pow(kZoomStep, notches));
    event->accept();
}

void LpSectionView::mousePressEvent(QMouseEvent* event)
{
    pressPoint = event->pos();
    pressViewport = viewport;
    const bool bandDrag = event->button() == Qt::RightButton
        || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (bandDrag) {
        drag = Drag::Band;
        if (!band)
            band = new QRubberBand(QRubberBand::Rectangle, this);
        band->setGeometry(QRect(pressPoint, QSize()));
        band->show();
    } else if (event->button() == Qt::LeftButton) {
        drag = Drag::Pan;
        setCursor(Qt::ClosedHandCursor);
    }
}

void LpSectionView::mouseMoveEvent(QMouseEvent* event)
{
    if (drag == Drag::Band) {
        band->setGeometry(QRect(pressPoint, event->pos()).normalized());
    } else if (drag == Drag::Pan) {
        const QRectF plot = PlotRect();
        const double dc = (event->pos().x() - pressPoint.x()) / plot.width()
            * (pressViewport.column1 - pressViewport.column0);
        const double dr = (event->pos().y() - pressPoint.y()) / plot.height()
            * (pressViewport.row1 - pressViewport.row0);
        SetViewport({pressViewport.column0 - dc, pressViewport.column1 - dc,
            pressViewport.row0 - dr, pressViewport.row1 - dr});
    }
    const QPointF at = SectionPoint(event->localPos());
    const bool inside = PlotRect().contains(event->localPos()) && at.x() >= 0
        && at.x() < shownColumns && at.y() >= 0 && at.y() < shownRows;
    if (inside)
        emit CursorMoved(int(std::floor(at.x())), int(std::floor(at.y())));
    else
        emit CursorMoved(-1, -1);
}

void LpSectionView::mouseReleaseEvent(QMouseEvent* event)
{
    if (drag == Drag::Band) {
        band->hide();
        const QRect r = QRect(pressPoint, event->pos()).normalized();
        if (r.width() > 4 && r.height() > 4) {
            const QPointF a = SectionPoint(r.topLeft());
            const QPointF b = SectionPoint(r.bottomRight());
            SetViewport({a.x(), b.x(), a.y(), b.y()});
        }
    }
    drag = Drag::None;
    unsetCursor();
}

void LpSectionView::leaveEvent(QEvent*)
{
    emit CursorMoved(-1, -1);
}
