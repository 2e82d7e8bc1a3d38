#include "SegyZarr.h"

#include "SegyWriter.h"
#include "SegyZarrStore.h"

#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include <sys/mman.h>

using namespace SegyZarrNames;

namespace {

constexpr int kTraceHeaderBytes = 240;
constexpr int kRecordBytes = 3200;

} // namespace

void StoreReader::DecodeRow(qint64 row, int threads, Row* out) const
{
    out->first = row * amplitude.chunks[0];
    out->count = std::min(amplitude.chunks[0], amplitude.shape[0] - out->first);
    const std::size_t positions = std::size_t(out->count * PositionsPerRow());
    const std::size_t chunkValues = std::size_t(amplitude.ChunkElements());

    out->headers.resize(positions * std::size_t(HeaderBytes()));
    out->live.resize(positions);
    out->error.clear();
    const std::size_t values = chunkValues * ChunkIndices(amplitude, row).size();
    if (!out->samples.resize(values)) {
        out->error = Fail(amplitude,
            QStringLiteral("cannot allocate %1 bytes for a row of chunks")
                .arg(values * sizeof(float)));
        return;
    }

    struct Job {
        const ZarrArray* array;
        std::vector<qint64> index;
        void* rows; // rows to copy the chunk into, or null
        void* chunk; // where the chunk goes as a whole, or null
    };
    std::vector<Job> jobs;
    for (std::vector<qint64>& index : ChunkIndices(amplitude, row))
        jobs.push_back({&amplitude, std::move(index), nullptr,
            out->samples.data() + jobs.size() * chunkValues});
    for (const auto& [array, rows] :
        {std::pair<const ZarrArray*, void*>{&headers, out->headers.data()},
            {&live, out->live.data()}}) {
        for (std::vector<qint64>& index : ChunkIndices(*array, row))
            jobs.push_back({array, std::move(index), rows, nullptr});
    }
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    scratch.resize(std::size_t(threads));
    const auto work = [&](int t) {
        std::vector<unsigned char>& chunk = scratch[std::size_t(t)].chunk;
        std::vector<unsigned char>& compressed = scratch[std::size_t(t)].compressed;
        QString reason;
        for (std::size_t j = next++; j < jobs.size(); j = next++) {
            const Job& job = jobs[j];
            chunk.resize(job.array->ChunkBytes());
            if (!ReadZarrChunk(*job.array, ZarrChunkPath(path, *job.array, job.index),
                    job.chunk ? job.chunk : chunk.data(), &compressed, &reason)) {
                std::lock_guard<std::mutex> lock(mutex);
                if (out->error.isEmpty())
                    out->error = Fail(*job.array,
                        QStringLiteral("chunk %1: %2")
                            .arg(QString::fromLatin1(ZarrChunkKey(job.index)), reason));
                next = jobs.size();
                return;
            }
            if (job.rows)
                CopyZarrChunkToRows(*job.array, job.index, chunk.data(), out->first, job.rows);
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(work, t);
    work(0);
    for (std::thread& h : helpers)
        h.join();
}

void StoreReader::GatherTrace(const Row& row, qint64 p, float* dst) const
{
    const int dimensions = int(live.shape.size());
    qint64 chunk = 0; // index among the row's chunks of the first sample chunk
    qint64 within = 0; // the position's index inside each of its chunks
    qint64 stride = 1;
    qint64 chunkStride = amplitude.ChunkCount(dimensions);
    for (int d = dimensions - 1; d >= 0; --d) {
        const qint64 extent = d == 0 ? row.count : live.shape[std::size_t(d)];
        const qint64 g = (d == 0 ? row.first : 0) + p % extent;
        p /= extent;
        const qint64 c = amplitude.chunks[std::size_t(d)];
        within += g % c * stride;
        stride *= c;
        if (d > 0) {
            chunk += g / c * chunkStride;
            chunkStride *= amplitude.ChunkCount(d);
        }
    }
    const qint64 sampleChunk = amplitude.chunks.back();
    const std::size_t chunkValues = std::size_t(amplitude.ChunkElements());
    const float* src
        = row.samples.data() + std::size_t(chunk) * chunkValues + std::size_t(within * sampleChunk);
    for (qint64 first = 0; first < Samples(); first += sampleChunk) {
        std::memcpy(dst + first, src,
            std::size_t(std::min(sampleChunk, Samples() - first)) * sizeof(float));
        src += chunkValues;
    }
}

bool ImportSegyZarr(const QString& storePath, const QString& outPath, QString* error,
    const SegyZarrImportOptions& options)
{
    QString ignored;
    if (!error)
        error = &ignored;
    StoreReader store(storePath);
    if (!store.Open(error))
        return false;
    std::vector<unsigned char> binaryBytes;
    std::vector<unsigned char> textBytes;
    std::vector<unsigned char> trailerBytes;
    if (!store.ReadWhole(store.binary, &binaryBytes, error)
        || !store.ReadWhole(store.text, &textBytes, error)
        || (store.hasTrailers && !store.ReadWhole(store.trailers, &trailerBytes, error)))
        return false;

    SegyWriteOptions o;
    o.format = options.format > 0 ? options.format
                                  : store.root.value(QStringLiteral("sample_format")).toInt(1);
    o.byteOrder = options.byteOrder;
    if (o.byteOrder == SegyByteOrder::Auto)
        o.byteOrder
            = store.root.value(QStringLiteral("byte_order")).toString() == QLatin1String("little")
            ? SegyByteOrder::Little
            : SegyByteOrder::Big;
    o.revision = -1; // the headers' bytes as they were
    SegyWriter writer(outPath, o);
    const auto record = [](const std::vector<unsigned char>& bytes, std::size_t i) {
        return QByteArray(
            reinterpret_cast<const char*>(bytes.data()) + i * kRecordBytes, kRecordBytes);
    };
    writer.SetRawTextHeader(record(textBytes, 0));
    QList<QByteArray> extended;
    for (std::size_t i = 1; i < textBytes.size() / kRecordBytes; ++i)
        extended << record(textBytes, i);
    writer.SetRawExtendedTextHeaders(extended);
    QList<QByteArray> trailerList;
    for (std::size_t i = 0; i < trailerBytes.size() / kRecordBytes; ++i)
        trailerList << record(trailerBytes, i);
    writer.SetRawTrailerRecords(trailerList);
    SegyBinaryHeader binary;
    std::memcpy(binary.Bytes(), binaryBytes.data(), 400);
    writer.SetBinaryHeader(binary);

    int threads = options.threads > 0 ? options.threads : int(std::thread::hardware_concurrency());
    threads = std::max(1, threads);
    const bool fixedLength = store.root.value(QStringLiteral("fixed_length")).toBool(true);
    const int revision = binaryBytes[300];
    const qint64 total = qint64(store.root.value(QStringLiteral("traces")).toDouble(0));
    const int samples = store.Samples();
    const int headerBytes = store.HeaderBytes();
    const qint64 perRow = store.PositionsPerRow();
    if (!writer.Begin(error))
        return false;

    // Row r + 1 is decoded while row r is written.
    Row rows[2];
    qint64 written = 0;
    SegyTraceHeader header;
    QByteArray additional;
    std::vector<float> trace(std::size_t(std::max(samples, 1)));
    if (store.Rows() > 0)
        store.DecodeRow(0, threads, &rows[0]);
    for (qint64 r = 0; r < store.Rows(); ++r) {
        Row& row = rows[r % 2];
        std::thread next;
        if (r + 1 < store.Rows())
            next = std::thread([&] { store.DecodeRow(r + 1, threads, &rows[(r + 1) % 2]); });
        bool ok = row.error.isEmpty();
        if (!ok)
            *error = row.error;
        const std::size_t positions = std::size_t(row.count * perRow);
        for (std::size_t p = 0; ok && p < positions; ++p) {
            if (row.live[p] == 0)
                continue;
            const unsigned char* h = row.headers.data() + p * std::size_t(headerBytes);
            std::memcpy(header.Bytes(), h, kTraceHeaderBytes);
            if (headerBytes > kTraceHeaderBytes)
                additional = QByteArray(reinterpret_cast<const char*>(h) + kTraceHeaderBytes,
                    headerBytes - kTraceHeaderBytes);
            int count = samples;
            if (!fixedLength) {
                // A trace of a variable-length file keeps its own count (bytes 115-116).
                const int stated = h[114] << 8 | h[115];
                const int given = revision >= 2 ? stated : int(int16_t(stated));
                if (given > 0 && given < samples)
                    count = given;
            }
            store.GatherTrace(row, qint64(p), trace.data());
            ok = writer.WriteTrace(header, trace.data(), count, error, additional);
            ++written;
            if (ok && options.progress && !options.progress(written, total)) {
                *error = outPath + QStringLiteral(": cancelled");
                ok = false;
            }
        }
        if (next.joinable())
            next.join();
        if (!ok) {
            writer.Cancel();
            return false;
        }
    }
    return writer.Finish(error);
}
