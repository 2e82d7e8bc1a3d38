// libFuzzer target for the SEG-Y reader. Each input becomes a file: a textual header, a binary
// header whose key fields are drawn from plausible and implausible values (format, sample
// count, revision, flags, extended header count, first-trace offset, trailers, the byte-order
// constant), then the rest of the input as extended headers and traces. The file is opened in a
// chosen byte order and every read runs on it with arrays of exactly the size the read may touch,
// so the address sanitizer sees any access past them; the file is checked, and one input in
// about sixteen is also copied.

#include "SegyCheck.h"
#include "SegyFile.h"
#include "SegyGeometry.h"
#include "SegyWriter.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

void Put(QByteArray& b, int pos, int width, quint64 value, bool little)
{
    for (int i = 0; i < width; ++i)
        b[pos - 1 + i] = char(value >> (8 * (little ? i : width - 1 - i)));
}

QByteArray BuildFile(FuzzedDataProvider& fdp, bool little)
{
    QByteArray b(3600, '\0');
    const std::vector<char> text = fdp.ConsumeBytes<char>(fdp.ConsumeIntegralInRange<int>(0, 160));
    for (std::size_t i = 0; i < text.size(); ++i)
        b[int(i)] = text[i];
    const int formats[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15, 16, 0, 13, 256, -1};
    Put(b, 3225, 2, quint64(fdp.PickValueInArray(formats)), little);
    Put(b, 3221, 2, fdp.PickValueInArray({0, 1, 3, 7, 100, 32767, 65535}), little);
    const int revision = fdp.ConsumeIntegralInRange<int>(0, 3);
    b[3500] = char(revision);
    Put(b, 3503, 2, fdp.ConsumeBool(), little);
    Put(b, 3505, 2, quint64(qint64(fdp.ConsumeIntegralInRange<int>(-3, 3))), little);
    if (revision >= 2) {
        Put(b, 3269, 4, fdp.PickValueInArray({0u, 5u, 70000u, 0x7FFFFFFFu, 0xFFFFFFFFu}), little);
        Put(b, 3507, 2, quint64(qint64(fdp.ConsumeIntegralInRange<int>(-1, 2))), little);
        Put(b, 3513, 8, fdp.ConsumeIntegral<uint8_t>(), little);
        Put(b, 3521, 8,
            fdp.PickValueInArray(
                {quint64(0), quint64(3600), quint64(6800), quint64(7000), ~quint64(0)}),
            little);
        Put(b, 3529, 4, quint64(qint64(fdp.ConsumeIntegralInRange<int>(-1, 2))), little);
    }
    if (fdp.ConsumeBool())
        Put(b, 3297, 4, 0x01020304, little);
    // Extended headers that may end with the stanza, in either code.
    const int records = fdp.ConsumeIntegralInRange<int>(0, 2);
    for (int r = 0; r < records; ++r) {
        QByteArray record(3200, fdp.ConsumeBool() ? ' ' : '\x40');
        if (fdp.ConsumeBool())
            record.replace(0, 16,
                fdp.ConsumeBool()
                    ? "((SEG: EndText))"
                    : "\x4d\x4d\xe2\xc5\xc7\x7a\x40\xc5\x95\x84\xe3\x85\xa7\xa3\x5d\x5d");
        b.append(record);
    }
    // Traces: a header whose sample count is drawn, then bytes.
    while (fdp.remaining_bytes() > 0) {
        QByteArray header(240, '\0');
        Put(header, 115, 2, fdp.PickValueInArray({0, 1, 3, 7, 100, 65535}), little);
        Put(header, 189, 4, fdp.ConsumeIntegral<uint32_t>(), little);
        b.append(header);
        const std::vector<char> bytes
            = fdp.ConsumeBytes<char>(fdp.ConsumeIntegralInRange<int>(0, 900));
        b.append(bytes.data(), int(bytes.size()));
    }
    return b;
}

template <typename T> void ReadAllSamples(const SegyFile& file, qint64 traces)
{
    for (qint64 t = 0; t < traces; ++t) {
        const int n = file.SampleCount(t);
        Require(n >= 0, "sample count of a trace in range");
        std::vector<T> dst(static_cast<std::size_t>(n));
        file.ReadSamples(t, dst.data());
    }
    const qint64 total = file.SampleCount(0, traces);
    Require(total >= 0, "sample count of the whole range");
    std::vector<T> all(static_cast<std::size_t>(total));
    file.ReadSamples(0, traces, all.data());
}

void Exercise(const SegyFile& file, bool copy)
{
    Require(file.TextHeader().size() == 40, "40 text lines");
    for (int i = -1; i <= file.ExtendedTextHeaderCount(); ++i) {
        file.ExtendedTextHeader(i);
        file.RawExtendedTextHeader(i);
    }
    int count = 0;
    const SegyField* fields = SegyBinaryFields(&count);
    for (int i = 0; i < count; ++i) {
        file.BinaryHeader().Value(fields[i]);
        file.BinaryHeader().DoubleValue(fields[i]);
    }
    const qint64 traces = std::min<qint64>(file.TraceCount(), 64);
    for (qint64 t = -1; t <= traces; ++t) {
        const qint64 at = file.TraceOffset(t);
        if (t >= 0 && t < file.TraceCount()) {
            const qint64 end = at + 240LL * (1 + file.AdditionalTraceHeaders())
                + qint64(file.SampleCount(t)) * file.Format().bytesPerSample;
            Require(at >= 0 && end <= file.FileSize(), "trace inside the file");
        }
        SegyTraceHeader header;
        file.ReadTraceHeader(t, &header);
        file.RawAdditionalTraceHeaders(t);
    }
    for (const char* name : {"inline", "115", "233:8", "237:4u", "1:1"}) {
        SegyField field;
        if (!ParseSegyTraceField(QString::fromLatin1(name), &field))
            continue;
        std::vector<int32_t> column(static_cast<std::size_t>(traces));
        std::vector<qint64> wide(static_cast<std::size_t>(traces));
        file.ReadTraceFieldColumn(field, 0, traces, column.data());
        file.ReadTraceFieldColumn(field, 0, traces, wide.data());
        qint64 value = 0;
        file.ReadTraceField(file.TraceCount(), field, &value);
    }
    if (file.Format().readable) {
        ReadAllSamples<float>(file, traces);
        ReadAllSamples<double>(file, traces);
    }
    for (int i = -1; i <= file.TrailerRecordCount(); ++i)
        file.RawTrailerRecord(i);
    std::vector<SegyFinding> findings;
    Require(CheckSegyFile(file, &findings), "a check nobody cancels completes");
    for (const SegyFinding& finding : findings) {
        Require(finding.count >= qint64(finding.traces.size()), "listed traces are counted");
        for (const qint64 trace : finding.traces)
            Require(trace >= 0 && trace <= file.TraceCount(), "listed traces lie in the file");
    }
    if (copy) {
        const QString out = QDir::tempPath() + QStringLiteral("/fuzz_segy_copy.sgy");
        SegyWriteOptions options;
        options.format = file.Format().readable ? 5 : 1;
        options.byteOrder = SegyByteOrder::Little;
        if (SegyCopy(file, out, options)) {
            QString error;
            const auto copied = SegyFile::Open(out, &error);
            if (!copied)
                std::fprintf(stderr, "%s\n", qPrintable(error));
            if (copied && copied->TraceCount() != file.TraceCount())
                std::fprintf(stderr,
                    "DEBUG src rev %d flag %d ns %d fmt %d little %d traces %lld fixed %d ext %d "
                    "add %d first %lld trail %d size %lld | copy rev %d flag %d ns %d traces %lld "
                    "fixed %d ext %d add %d first %lld trail %d size %lld warn %s\n",
                    file.Revision(), file.FixedLengthFlag(), file.SamplesPerTrace(),
                    file.Format().code, file.ByteOrder() == SegyByteOrder::Little,
                    file.TraceCount(), file.IsFixedLength(), file.ExtendedTextHeaderCount(),
                    file.AdditionalTraceHeaders(), file.FirstTraceOffset(),
                    file.TrailerRecordCount(), file.FileSize(), copied->Revision(),
                    copied->FixedLengthFlag(), copied->SamplesPerTrace(), copied->TraceCount(),
                    copied->IsFixedLength(), copied->ExtendedTextHeaderCount(),
                    copied->AdditionalTraceHeaders(), copied->FirstTraceOffset(),
                    copied->TrailerRecordCount(), copied->FileSize(),
                    qPrintable(copied->Warnings().join("|")));
            Require(copied && copied->TraceCount() == file.TraceCount(),
                "a copy opens with every trace");
        }
        QFile::remove(out);
    }
}

} // namespace

namespace {

// Every read of the geometry, on arrays of exactly the size each may touch; numbers on the
// grid and off it.
void ExerciseGeometry(const SegyFile& file, FuzzedDataProvider& fdp)
{
    const char* const keys[] = {"189", "193", "37", "9", "1:1", "5:8u", "233:8", "21", "nosuch"};
    SegyGeometryOptions options;
    options.inlineField = QString::fromLatin1(fdp.PickValueInArray(keys));
    options.crosslineField = QString::fromLatin1(fdp.PickValueInArray(keys));
    options.offsetField = QString::fromLatin1(fdp.PickValueInArray(keys));
    QString error;
    const auto g = SegyGeometry::Build(file, &error, options);
    if (!g) {
        Require(
            error.startsWith(file.FileName() + QStringLiteral(": ")), "an error names the file");
        return;
    }
    const SegyAxis il = g->Inlines(), xl = g->Crosslines();
    Require(g->BinCount() <= 16 * g->TraceCount() + 4096, "no grid far larger than the traces");
    const qint64 ns = g->SampleCount();
    auto pick = [&](const SegyAxis& axis) {
        // Wrapping arithmetic: the keys may be any 64-bit numbers.
        auto add = [](qint64 a, qint64 b) { return qint64(quint64(a) + quint64(b)); };
        const qint64 choices[]
            = {axis.first, axis.last, add(axis.first, -1), add(axis.last, axis.step),
                add(axis.first,
                    qint64(quint64(axis.step) * fdp.ConsumeIntegralInRange<quint64>(0, 3)))};
        return fdp.PickValueInArray(choices);
    };
    SegySliceOptions slice;
    slice.threads = fdp.ConsumeIntegralInRange<int>(1, 3);
    if (!g->Offsets().empty() && fdp.ConsumeBool())
        slice.offset
            = g->Offsets()[fdp.ConsumeIntegralInRange<std::size_t>(0, g->Offsets().size() - 1)];
    std::vector<float> v;
    v.resize(std::size_t(xl.count * ns));
    g->ReadInline(pick(il), v.data(), &error, slice);
    v.assign(std::size_t(il.count * ns), 0);
    g->ReadCrossline(pick(xl), v.data(), &error, slice);
    v.assign(std::size_t(il.count * xl.count), 0);
    g->ReadTimeSlice(fdp.ConsumeIntegralInRange<int>(-1, int(ns)), v.data(), &error, slice);
    v.assign(g->Offsets().size() * std::size_t(ns), 0);
    g->ReadGather(pick(il), pick(xl), v.data(), &error, slice);
    v.assign(std::size_t(g->Cdps().count * ns), 0);
    g->ReadLine(v.data(), &error, slice);
    if (il.count > 0) {
        v.assign(
            std::size_t(std::min<qint64>(il.count, 2) * std::min<qint64>(xl.count, 2) * ns), 0);
        g->ReadSubVolume(il.first, il.At(std::min<qint64>(il.count, 2) - 1), xl.first,
            xl.At(std::min<qint64>(xl.count, 2) - 1), 0, int(ns), v.data(), &error, slice);
    }
    const qint64 t = g->TraceNumber(pick(il), pick(xl), slice.offset);
    Require(t >= -1 && t < g->TraceCount(), "a trace number inside the file");
    qint64 a = 0, b = 0;
    g->NearestBin(fdp.ConsumeFloatingPoint<double>(), fdp.ConsumeFloatingPoint<double>(), &a, &b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const int fd = memfd_create("fuzz_segy", 0);
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);

    FuzzedDataProvider fdp(data, size);
    const SegyByteOrder orders[] = {SegyByteOrder::Auto, SegyByteOrder::Big, SegyByteOrder::Little};
    SegyOpenOptions options;
    options.byteOrder = fdp.PickValueInArray(orders);
    options.scanTraces = fdp.ConsumeBool();
    const bool little = fdp.ConsumeBool();
    const bool shortFile = fdp.ConsumeIntegralInRange<int>(0, 15) == 0;
    QByteArray bytes = BuildFile(fdp, little);
    if (shortFile)
        bytes.truncate(int(size % 3600));

    if (ftruncate(fd, 0) != 0
        || pwrite(fd, bytes.constData(), std::size_t(bytes.size()), 0) != bytes.size())
        std::abort();
    QString error;
    const auto file = SegyFile::Open(path, &error, options);
    if (!file) {
        Require(error.startsWith(path + QStringLiteral(": ")), "an error names the file");
        return 0;
    }
    Exercise(*file, size > 0 && data[size - 1] % 16 == 0);
    ExerciseGeometry(*file, fdp);
    return 0;
}
