#include "LpRender.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr QRgb kBackground = 0xFFD8D8D8; // outside the section, and missing traces
constexpr QRgb kPaper = 0xFFFFFFFF; // behind wiggles alone
constexpr QRgb kInk = 0xFF000000;

// A tick step of 1, 2 or 5 times a power of ten, giving about `count` ticks over `span`.
double NiceStep(double span, double count)
{
    const double raw = std::fabs(span) / std::max(1.0, count);
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw)
            return m * power;
    }
    return 10 * power;
}

QString Number(double v)
{
    if (std::fabs(v - std::round(v)) < 1e-9 * std::max(1.0, std::fabs(v)))
        return QString::number(qint64(std::llround(v)));
    return QString::number(v, 'g', 6);
}

// Ticks of one axis: pairs of (coordinate, label) for the coordinates [c0, c1), where index i
// sits at coordinate i + 0.5.
std::vector<std::pair<double, QString>> Ticks(
    const LpAxis& axis, int count, double c0, double c1, double target)
{
    std::vector<std::pair<double, QString>> ticks;
    if (count <= 0)
        return ticks;
    const double i0 = std::max(0.0, c0 - 0.5);
    const double i1 = std::min(double(count - 1), c1 - 0.5);
    if (i1 < i0)
        return ticks;
    if (!axis.values.empty() || axis.step == 0) {
        const double step = std::max(1.0, NiceStep(i1 - i0, target));
        for (double i = std::ceil(i0 / step) * step; i <= i1; i += step)
            ticks.emplace_back(i + 0.5, Number(axis.At(i)));
        return ticks;
    }
    const double v0 = std::min(axis.At(i0), axis.At(i1));
    const double v1 = std::max(axis.At(i0), axis.At(i1));
    const double step = std::max(NiceStep(v1 - v0, target), std::fabs(axis.step));
    for (double v = std::ceil(v0 / step) * step; v <= v1 + 1e-9 * step; v += step) {
        const double index = (v - axis.first) / axis.step;
        ticks.emplace_back(index + 0.5, Number(v));
    }
    return ticks;
}

void DrawAxes(QPainter& p, const QRect& plot, const LpSection& section, const LpScaled& scaled,
    LpDisplayMode mode, const LpColorTable& table, const LpViewport& vp, double scale)
{
    QFont font = p.font();
    font.setPixelSize(std::max(6, int(std::lround(11 * scale))));
    p.setFont(font);
    const QFontMetrics fm(font);
    const int tick = int(std::lround(4 * scale));
    p.setPen(QColor(kInk));

    const double xs = plot.width() / (vp.column1 - vp.column0);
    for (const auto& t : Ticks(section.horizontal, section.columns, vp.column0, vp.column1,
             plot.width() / (90.0 * scale))) {
        const int x = plot.left() + int(std::lround((t.first - vp.column0) * xs));
        p.drawLine(x, plot.top() - tick, x, plot.top() - 1);
        const int w = fm.horizontalAdvance(t.second);
        p.drawText(x - w / 2, plot.top() - tick - fm.descent() - 1, t.second);
    }
    const double ys = plot.height() / (vp.row1 - vp.row0);
    for (const auto& t :
        Ticks(section.vertical, section.rows, vp.row0, vp.row1, plot.height() / (50.0 * scale))) {
        const int y = plot.top() + int(std::lround((t.first - vp.row0) * ys));
        p.drawLine(plot.left() - tick, y, plot.left() - 1, y);
        const int w = fm.horizontalAdvance(t.second);
        p.drawText(plot.left() - tick - 2 - w, y + fm.ascent() / 2 - 1, t.second);
    }
    p.drawText(int(4 * scale), fm.ascent() + int(2 * scale),
        section.horizontal.title + QStringLiteral(" \u2192   ") + section.vertical.title
            + QStringLiteral(" \u2193"));
    p.setPen(QColor(0xFF808080));
    p.drawRect(plot.adjusted(-1, -1, 0, 0));

    // The colour bar, +clip at the top.
    const QString clipText = Number(double(scaled.clip));
    const int barLeft = plot.right() + int(std::lround(12 * scale));
    const int barWidth = int(std::lround(14 * scale));
    p.setPen(QColor(kInk));
    if (mode == LpDisplayMode::Wiggle) {
        p.drawText(barLeft, plot.top() + fm.ascent(), QStringLiteral("clip"));
        p.drawText(barLeft, plot.top() + fm.ascent() + fm.height(), clipText);
        return;
    }
    const int h = plot.height();
    for (int y = 0; y < h; ++y) {
        const int index = h > 1 ? 255 - int(std::lround(255.0 * y / (h - 1))) : 128;
        p.fillRect(barLeft, plot.top() + y, barWidth, 1, QColor(table[std::size_t(index)]));
    }
    const int textX = barLeft + barWidth + int(std::lround(3 * scale));
    p.drawText(textX, plot.top() + fm.ascent(), clipText);
    p.drawText(textX, plot.top() + h / 2 + fm.ascent() / 2, QStringLiteral("0"));
    p.drawText(textX, plot.bottom(), Number(-double(scaled.clip)));
}

} // namespace

LpViewport LpFitViewport(const LpSection& section)
{
    return {0, double(std::max(1, section.columns)), 0, double(std::max(1, section.rows))};
}

QRect LpPlotRect(const QSize& size, const LpRenderStyle& style)
{
    if (!style.axes)
        return QRect(QPoint(0, 0), size);
    const auto m = [&](double v) { return int(std::lround(v * style.scale)); };
    const QRect plot(m(64), m(40), size.width() - m(64) - m(88), size.height() - m(40) - m(8));
    if (plot.width() < 16 || plot.height() < 16)
        return QRect(QPoint(0, 0), size);
    return plot;
}

int LpWiggleStep(double pixelsPerColumn, double minSpacing)
{
    if (!(pixelsPerColumn > 0))
        return 1;
    return std::max(1, int(std::ceil(minSpacing / pixelsPerColumn - 1e-9)));
}

void LpRenderData(QImage* image, const QRect& rectIn, const LpScaled& s, LpDisplayMode mode,
    const LpColorTable& table, const LpViewport& vp, double scale)
{
    const QRect rect = rectIn & image->rect();
    const int w = rect.width();
    const int h = rect.height();
    if (w <= 0 || h <= 0 || !vp.IsValid())
        return;
    // The column and row under each pixel's centre, -1 outside the section.
    const double cs = (vp.column1 - vp.column0) / rectIn.width();
    const double rs = (vp.row1 - vp.row0) / rectIn.height();
    const int dx0 = rect.left() - rectIn.left();
    const int dy0 = rect.top() - rectIn.top();
    std::vector<int> column(std::size_t(w), -1);
    for (int x = 0; x < w; ++x) {
        const double c = std::floor(vp.column0 + (x + dx0 + 0.5) * cs);
        if (c >= 0 && c < s.columns)
            column[std::size_t(x)] = int(c);
    }
    const bool density = mode != LpDisplayMode::Wiggle;
    QRgb palette[257];
    std::copy(table.begin(), table.end(), palette);
    palette[kLpNoData] = kBackground;
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image->scanLine(rect.top() + y)) + rect.left();
        const double r = std::floor(vp.row0 + (y + dy0 + 0.5) * rs);
        if (!density || r < 0 || r >= s.rows) {
            std::fill(line, line + w, density ? kBackground : kPaper);
            continue;
        }
        const uint16_t* src = s.indices.data() + std::size_t(r) * std::size_t(s.columns);
        for (int x = 0; x < w; ++x) {
            const int c = column[std::size_t(x)];
            line[x] = c < 0 ? kBackground : palette[src[c]];
        }
    }
    if (mode == LpDisplayMode::Density || s.columns <= 0 || s.rows <= 0)
        return;

    const double pixelsPerColumn = 1.0 / cs;
    const int step = LpWiggleStep(pixelsPerColumn, 4 * scale);
    const double unit = pixelsPerColumn * step; // the deflection of a sample at the clip
    const bool clipUsable = s.clip > 0 && std::isfinite(s.clip);
    const double gain = clipUsable ? unit / s.clip : 0.0;
    uchar* bits = image->bits();
    const qsizetype bytesPerLine = image->bytesPerLine();
    const auto plot = [&](int x, int y) {
        if (x >= 0 && x < w)
            reinterpret_cast<QRgb*>(bits + (rect.top() + y) * bytesPerLine)[rect.left() + x] = kInk;
    };
    const int first = std::max(0, (int(std::floor(vp.column0)) - step) / step * step);
    const int last = std::min(s.columns - 1, int(std::ceil(vp.column1)) + step);
    for (int c = first; c <= last; c += step) {
        const float* v = s.values.data() + std::size_t(c) * std::size_t(s.rows);
        const double base = (c + 0.5 - vp.column0) / cs - 0.5 - dx0;
        const int baseX = int(std::lround(base));
        double previous = std::nan("");
        for (int y = 0; y < h; ++y) {
            const double r = vp.row0 + (y + dy0 + 0.5) * rs;
            if (r < 0 || r >= s.rows) {
                previous = std::nan("");
                continue;
            }
            // Linear between sample centres, held flat beyond the first and last.
            const double at = std::clamp(r - 0.5, 0.0, double(s.rows - 1));
            const int i0 = int(at);
            const int i1 = std::min(i0 + 1, s.rows - 1);
            const double f = at - i0;
            const double value = v[i0] + f * (double(v[i1]) - v[i0]);
            if (!std::isfinite(value)) {
                previous = std::nan("");
                continue;
            }
            const double x = base + std::clamp(value * gain, -unit, unit);
            const int xi = int(std::lround(x));
            for (int fill = baseX; fill <= xi; ++fill)
                plot(fill, y);
            const int a = std::isnan(previous) ? xi : std::min(xi, int(std::lround(previous)));
            const int b = std::isnan(previous) ? xi : std::max(xi, int(std::lround(previous)));
            for (int px = a; px <= b; ++px)
                plot(px, y);
            previous = x;
        }
    }
}

QImage LpRenderImage(const QSize& size, const LpSection& section, const LpScaled& scaled,
    LpDisplayMode mode, const LpColorTable& table, const LpViewport& viewport,
    const LpRenderStyle& style)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const QRect plot = LpPlotRect(size, style);
    if (plot.size() != size)
        image.fill(Qt::white);
    LpRenderData(&image, plot, scaled, mode, table, viewport, style.scale);
    if (plot.size() != size) {
        QPainter painter(&image);
        DrawAxes(painter, plot, section, scaled, mode, table, viewport, style.scale);
    }
    return image;
}
