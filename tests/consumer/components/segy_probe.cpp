// A tool that writes a small SEG-Y file with the frame's library (to the path given, or to the
// temporary folder) and reads it back: Qt Core only.
#include <SegyFile.h>
#include <SegyWriter.h>

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <vector>

// Writes 3 traces of 4 IBM samples with inline numbers 100 to 102.
static bool WriteSample(const QString& path)
{
    SegyWriter writer(path);
    writer.SetTextHeader({QStringLiteral("C 1 PROBE LINE")});
    if (!writer.Begin())
        return false;
    for (int t = 0; t < 3; ++t) {
        SegyTraceHeader header;
        header.SetValue("inline", 100 + t);
        const float samples[4] = {0.5f * t, 1.0f, -2.0f, 100.0f};
        if (!writer.WriteTrace(header, samples, 4))
            return false;
    }
    return writer.Finish();
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString path
        = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::temp().filePath("orv-segy-probe.sgy");
    if (!WriteSample(path))
        return 1;

    // -- the README example starts here
    QString error;
    auto file = SegyFile::Open(path, &error);
    if (!file) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%lld traces of %d samples, format %s\n", file->TraceCount(),
        file->SamplesPerTrace(), file->Format().name);
    std::vector<int32_t> inlines(file->TraceCount());
    file->ReadTraceFieldColumn(
        *FindSegyTraceField(QStringLiteral("inline")), 0, file->TraceCount(), inlines.data());
    std::vector<float> samples(file->SampleCount(0));
    file->ReadSamples(0, samples.data());
    // -- the README example ends here

    std::printf("inline %d to %d, first sample %g\n", inlines.front(), inlines.back(), samples[0]);
    return 0;
}
