// A tool that writes a small SEG-Y cube with the frame's library, exports it as a Zarr store and
// imports it back: Qt Core and Blosc only.
#include <SegyWriter.h>
#include <SegyZarr.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

// A cube of 2 inlines x 3 crosslines of 4 IBM samples.
static bool WriteCube(const QString& path)
{
    SegyWriter writer(path);
    writer.SetTextHeader({QStringLiteral("C 1 PROBE CUBE")});
    if (!writer.Begin())
        return false;
    for (int t = 0; t < 6; ++t) {
        SegyTraceHeader header;
        header.SetValue("inline", 10 + t / 3);
        header.SetValue("crossline", 20 + t % 3);
        const float samples[4] = {0.5f * t, 1.0f, -2.0f, 100.0f};
        if (!writer.WriteTrace(header, samples, 4))
            return false;
    }
    return writer.Finish();
}

static QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const QString path = folder + QStringLiteral("/probe-cube.sgy");
    const QString store = folder + QStringLiteral("/probe-cube.zarr");
    const QString back = folder + QStringLiteral("/probe-back.sgy");
    if (!WriteCube(path))
        return 1;
    QString error;
    auto file = SegyFile::Open(path, &error);
    SegyZarrExportOptions options;
    options.compression = ZarrCompression::Zstd;
    if (!file || !ExportSegyZarr(*file, store, &error, options)
        || !ImportSegyZarr(store, back, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf(
        "exported and imported: %s\n", Contents(back) == Contents(path) ? "same" : "differs");
    return 0;
}
