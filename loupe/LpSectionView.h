#pragma once

#include "LpRender.h"

#include <QImage>
#include <QWidget>

class LpSectionModel;
class QRubberBand;

// Shows the model's section: paints the last finished picture, made at the screen's
// resolution whenever the section, the display or the viewport changes. The wheel zooms about
// the cursor, a drag pans, a drag with Shift (or the right button) zooms to a rubber band.
class LpSectionView : public QWidget {
    Q_OBJECT

public:
    explicit LpSectionView(QWidget* parent = nullptr);
    ~LpSectionView() override;

    // The model to draw (not owned), or null.
    void SetModel(LpSectionModel* model);
    // The model's section or display changed: draws again, over the whole section unless
    // `keepViewport` and the section has the shape of the previous one.
    void Refresh(bool keepViewport);

    const LpViewport& Viewport() const { return viewport; }
    // The picture on screen.
    const QImage& Picture() const { return picture; }
    // The same view drawn into an image of `size` pixels.
    QImage Render(const QSize& size) const;

public slots:
    void ZoomIn();
    void ZoomOut();
    void Fit();

signals:
    // The cursor moved over (column, row) of the section; (-1, -1) when it left it.
    void CursorMoved(int column, int row);
    // A picture reached the screen.
    void Painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Redraw();
    QRectF PlotRect() const; // in widget coordinates
    QPointF SectionPoint(const QPointF& widgetPoint) const;
    void ZoomAbout(const QPointF& widgetPoint, double factor);
    void SetViewport(const LpViewport& newViewport);

    LpSectionModel* model = nullptr;
    LpViewport viewport;
    int shownColumns = 0;
    int shownRows = 0;
    QImage picture;
    QRubberBand* band = nullptr;
    QPoint pressPoint;
    LpViewport pressViewport;
    enum class Drag { None, Pan, Band } drag = Drag::None;
};
