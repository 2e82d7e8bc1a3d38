#include "LpThumbnail.h"

#include "LpRender.h"
#include "LpSectionModel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kMaxSize = 4096;

// A file manager runs the thumbnailer on every file shown: whatever the file (or the disk)
// does, the process ends within this time.
constexpr unsigned kWatchdogSeconds = 30;

// The section is drawn a sample to a pixel, at most this many times the thumbnail's side, then
// averaged down: seismic amplitudes change from sample to sample, and a nearest-sample picture
// of a line 10 times wider than the thumbnail would be noise.
constexpr int kOversample = 4;

// The viewer's clip, the percentile of the absolute amplitudes, taken from the line itself
// rather than from traces spread over the whole file: a file manager asks for thumbnails of
// files that are seldom in the page cache, and a thousand reads across a large file cost ten
// times what the rest does.
double LineClip(const LpSection& section, double percentile)
{
    std::vector<float> magnitudes;
    magnitudes.reserve(section.values.size());
    for (float v : section.values) {
        if (std::isfinite(v))
            magnitudes.push_back(std::fabs(v));
    }
    if (magnitudes.empty())
        return 0;
    const double p = std::clamp(percentile, 0.0, 100.0) / 100.0;
    const auto k = std::size_t(std::floor(p * double(magnitudes.size() - 1)));
    std::nth_element(magnitudes.begin(), magnitudes.begin() + std::ptrdiff_t(k), magnitudes.end());
    return magnitudes[k];
}

} // namespace

QImage LpMakeThumbnail(const QString& path, int size, QString* error)
{
    if (size < 1 || size > kMaxSize) {
        *error
            = QStringLiteral("thumbnail size %1 is not between 1 and %2").arg(size).arg(kMaxSize);
        return {};
    }
    // Opening a FIFO or a device would wait for a writer, or read forever.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = path + QStringLiteral(": not a regular file");
        return {};
    }
    QStringList warnings;
    const std::unique_ptr<LpSurvey> survey = LpSurvey::OpenFile(path, error, &warnings);
    if (!survey)
        return {};
    LpSectionModel model;
    model.SetSurvey(survey.get());
    LpDisplay display;
    display.mode = LpDisplayMode::Density;
    display.colorMap = LpColorMapKind::Grey;
    display.clipMode = LpClipMode::Value;
    model.SetDisplay(display);
    if (!model.Show(survey->DefaultView(), 0, error))
        return {};
    const LpSection& section = model.Section();
    if (section.columns <= 0 || section.rows <= 0) {
        *error = path + QStringLiteral(": the first line is empty");
        return {};
    }
    display.clipValue = LineClip(section, display.clipPercentile);
    model.SetDisplay(display);
    const double aspect = std::clamp(double(section.columns) / section.rows, 0.5, 2.0);
    const QSize thumb = aspect >= 1 ? QSize(size, std::max(1, int(std::lround(size / aspect))))
                                    : QSize(std::max(1, int(std::lround(size * aspect))), size);
    const QSize drawn(std::min(section.columns, kOversample * thumb.width()),
        std::min(section.rows, kOversample * thumb.height()));
    QImage image(drawn.expandedTo(thumb), QImage::Format_RGB32);
    if (image.isNull()) {
        *error = path + QStringLiteral(": no memory for the picture");
        return {};
    }
    LpRenderData(&image, image.rect(), model.Scaled(), LpDisplayMode::Density, model.Table(),
        LpFitViewport(section));
    if (image.size() != thumb)
        image = image.scaled(thumb, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(QImage::Format_Grayscale8);
}

bool LpWriteThumbnail(const QString& input, const QString& output, int size, QString* error)
{
    const QImage image = LpMakeThumbnail(input, size, error);
    if (image.isNull())
        return false;
    // Written under a temporary name and renamed into place: a reader never sees half a file.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = output + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        *error = output + QStringLiteral(": ") + writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = output + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

int LpThumbnailMain(int argc, char* argv[])
{
    alarm(kWatchdogSeconds);
    // Qt Core only: no platform plugin, no display, no fonts.
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool sizeOk = false;
    const int size = args.size() == 5 ? args[4].toInt(&sizeOk) : 0;
    if (!sizeOk || size < 1 || size > kMaxSize) {
        std::fputs("usage: orv-loupe --thumbnail INPUT OUTPUT SIZE\n", stderr);
        return 2;
    }
    QString error;
    if (!LpWriteThumbnail(args[2], args[3], size, &error)) {
        std::fprintf(stderr, "orv-loupe: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
