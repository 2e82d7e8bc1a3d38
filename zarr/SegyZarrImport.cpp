#include "SegyZarr.h"

#include "SegyWriter.h"
#include "SegyZarrStore.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include <blosc.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SegyZarrNames;

namespace {

constexpr int kTraceHeaderBytes = 240;
constexpr int kRecordBytes = 3200;

} // namespace

namespace {

// Traces are decoded in groups of indices of the first dimension of about this many bytes.
constexpr qint64 kGroupBytes = qint64(16) << 20;

// A chunk file mapped read-only: its bytes stay in the page cache, not in the process's memory.
class MappedChunk {
public:
    MappedChunk() = default;
    MappedChunk(MappedChunk&& other) noexcept
        : data(std::exchange(other.data, nullptr))
        , size(std::exchange(other.size, 0))
    {
    }
    MappedChunk& operator=(MappedChunk&&) = delete;
    MappedChunk(const MappedChunk&) = delete;
    MappedChunk& operator=(const MappedChunk&) = delete;
    ~MappedChunk()
    {
        if (data)
            ::munmap(const_cast<unsigned char*>(data), size);
    }

    // Maps `path` and checks that it holds a chunk of `array`; false with the reason.
    bool Map(const ZarrArray& array, const QString& path, QString* reason)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            *reason = errno == ENOENT ? QStringLiteral("missing")
                                      : QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        struct stat st = {};
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
            if (p != MAP_FAILED) {
                data = static_cast<const unsigned char*>(p);
                size = std::size_t(st.st_size);
            }
        }
        ::close(fd);
        const std::size_t bytes = array.ChunkBytes();
        if (array.compression == ZarrCompression::None) {
            if (size == bytes)
                return true;
            *reason = QStringLiteral("%1 bytes where the chunk holds %2").arg(size).arg(bytes);
            return false;
        }
        std::size_t decompressed = 0;
        if (size < BLOSC_MIN_HEADER_LENGTH
            || blosc_cbuffer_validate(data, size, &decompressed) != 0) {
            *reason = QStringLiteral("truncated or not Blosc data (%1 bytes)").arg(size);
            return false;
        }
        if (decompressed != bytes) {
            *reason = QStringLiteral("decompresses to %1 bytes where the chunk holds %2")
                          .arg(decompressed)
                          .arg(bytes);
            return false;
        }
        return true;
    }

    // Values [first, first + count) of the chunk into dst.
    bool Read(const ZarrArray& array, qint64 first, qint64 count, float* dst) const
    {
        if (array.compression == ZarrCompression::None) {
            std::memcpy(
                dst, data + first * qint64(sizeof(float)), std::size_t(count) * sizeof(float));
            return true;
        }
        return blosc_getitem(data, int(first), int(count), dst)
            == int(count * qint64(sizeof(float)));
    }

private:
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// One row of chunks along the first dimension: positions [first, first + count) of dimension 0
// and every index of the others. The amplitude chunks are mapped (in the order of ChunkIndices);
// headers and the live mask are decoded position by position.
struct Row {
    qint64 first = 0;
    qint64 count = 0;
    std::vector<MappedChunk> chunks;
    std::vector<unsigned char> headers;
    std::vector<unsigned char> live;
    QString error;
};

// The traces of indices [first, first + count) of dimension 0, one after the other.
struct Group {
    const Row* row = nullptr;
    qint64 first = 0;
    qint64 count = 0;
    std::vector<float> samples;
    QString error;
};

// Threads that live as long as the import: starting threads for every group of traces costs
// more than the work of a small group on some systems. Run hands out jobs to the pool's threads
// and the calling thread; Start runs one task on a thread of its own until Wait.
class WorkerPool {
public:
    explicit WorkerPool(int threads)
    {
        for (int t = 1; t < threads; ++t)
            workers.emplace_back([this, t] { Work(t); });
        background = std::thread([this] { Background(); });
    }
    ~WorkerPool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        changed.notify_all();
        for (std::thread& w : workers)
            w.join();
        background.join();
    }
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Threads() const { return int(workers.size()) + 1; }

    // Runs job(j, t) for j in [0, jobs), t being the number of the thread (0: the caller); stops
    // handing out jobs at the first that returns false.
    void Run(std::size_t jobs, const std::function<bool(std::size_t, int)>& job)
    {
        std::unique_lock<std::mutex> lock(mutex);
        task = &job;
        taskJobs = jobs;
        next = 0;
        busy = int(workers.size());
        ++round;
        lock.unlock();
        changed.notify_all();
        Take(0);
        lock.lock();
        changed.wait(lock, [this] { return busy == 0; });
        task = nullptr;
    }

    // Runs `work` on the background thread.
    void Start(std::function<void()> work)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            pending = std::move(work);
            started = true;
        }
        changed.notify_all();
    }
    // Waits for what Start began.
    void Wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !started; });
    }

private:
    void Take(int t)
    {
        for (std::size_t j = next++; j < taskJobs; j = next++) {
            if (!(*task)(j, t))
                next = taskJobs;
        }
    }
    void Work(int t)
    {
        std::uint64_t seen = 0;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return quit || round != seen; });
            if (quit)
                return;
            seen = round;
            lock.unlock();
            Take(t);
            lock.lock();
            if (--busy == 0)
                changed.notify_all();
        }
    }
    void Background()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return quit || (started && pending); });
            if (quit)
                return;
            std::function<void()> work = std::move(pending);
            pending = nullptr;
            lock.unlock();
            work();
            lock.lock();
            started = false;
            changed.notify_all();
        }
    }

    std::vector<std::thread> workers;
    std::thread background;
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<bool(std::size_t, int)>* task = nullptr;
    std::size_t taskJobs = 0;
    std::atomic<std::size_t> next{0};
    int busy = 0;
    std::uint64_t round = 0;
    bool quit = false;
    std::function<void()> pending;
    bool started = false;
};

class Importer {
public:
    Importer(const StoreReader& store, WorkerPool* pool)
        : store(store)
        , pool(pool)
        , samples(store.Samples())
        , perRow(store.PositionsPerRow())
        , perIndex(store.amplitude.ChunkElements() / store.amplitude.chunks[0])
    {
        const qint64 indexBytes = std::max<qint64>(1, perRow * samples * qint64(sizeof(float)));
        groupSize = std::clamp<qint64>(kGroupBytes / indexBytes, 1, store.amplitude.chunks[0]);
        scratch.resize(std::size_t(pool->Threads()));
        for (qint64 r = 0; r < store.Rows(); ++r) {
            const qint64 first = r * store.amplitude.chunks[0];
            const qint64 end
                = std::min(first + store.amplitude.chunks[0], store.amplitude.shape[0]);
            for (qint64 g = first; g < end; g += groupSize)
                groups.push_back({r, g, std::min(groupSize, end - g)});
        }
    }

    std::size_t GroupCount() const { return groups.size(); }

    // Decodes group k into `out`, the row it lies in first when it starts one.
    void Prepare(std::size_t k, Group* out)
    {
        const GroupPlace& place = groups[k];
        Row& row = rows[place.row % 2];
        if (k == 0 || groups[k - 1].row != place.row)
            PrepareRow(place.row, &row);
        out->row = &row;
        out->first = place.first;
        out->count = place.count;
        out->error = row.error;
        if (out->error.isEmpty())
            DecodeGroup(row, out);
    }

private:
    struct GroupPlace {
        qint64 row;
        qint64 first;
        qint64 count;
    };
    struct Scratch {
        std::vector<unsigned char> chunk;
        std::vector<unsigned char> compressed;
        std::vector<float> values;
    };

    void PrepareRow(qint64 r, Row* row)
    {
        row->first = r * store.amplitude.chunks[0];
        row->count = std::min(store.amplitude.chunks[0], store.amplitude.shape[0] - row->first);
        row->error.clear();
        row->chunks.clear();
        const std::size_t positions = std::size_t(row->count * perRow);
        row->headers.resize(positions * std::size_t(store.HeaderBytes()));
        row->live.resize(positions);
        QString reason;
        for (const std::vector<qint64>& index : ChunkIndices(store.amplitude, r)) {
            row->chunks.emplace_back();
            if (!row->chunks.back().Map(store.amplitude,
                    ZarrChunkPath(store.Path(), store.amplitude, index), &reason)) {
                row->error = store.ChunkError(store.amplitude, index, reason);
                return;
            }
        }
        std::vector<std::pair<const ZarrArray*, std::vector<qint64>>> jobs;
        for (const ZarrArray* array : {&store.headers, &store.live}) {
            for (std::vector<qint64>& index : ChunkIndices(*array, r))
                jobs.emplace_back(array, std::move(index));
        }
        std::mutex mutex;
        pool->Run(jobs.size(), [&](std::size_t j, int t) {
            const auto& [array, index] = jobs[j];
            Scratch& s = scratch[std::size_t(t)];
            s.chunk.resize(array->ChunkBytes());
            QString why;
            if (!ReadZarrChunk(*array, ZarrChunkPath(store.Path(), *array, index), s.chunk.data(),
                    &s.compressed, &why)) {
                std::lock_guard<std::mutex> lock(mutex);
                if (row->error.isEmpty())
                    row->error = store.ChunkError(*array, index, why);
                return false;
            }
            CopyZarrChunkToRows(*array, index, s.chunk.data(), row->first,
                array == &store.live ? row->live.data() : row->headers.data());
            return true;
        });
    }

    // Each amplitude chunk of the row gives the group's indices (whole Blosc blocks when the
    // store was written with a block per index), scattered trace by trace.
    void DecodeGroup(const Row& row, Group* out)
    {
        out->samples.resize(std::size_t(out->count * perRow * samples));
        const std::vector<std::vector<qint64>> indices
            = ChunkIndices(store.amplitude, row.first / store.amplitude.chunks[0]);
        const int n = int(store.amplitude.shape.size());
        const qint64 sampleChunk = store.amplitude.chunks.back();
        std::mutex mutex;
        pool->Run(indices.size(), [&](std::size_t j, int t) {
            const std::vector<qint64>& index = indices[j];
            std::vector<float>& values = scratch[std::size_t(t)].values;
            values.resize(std::size_t(out->count * perIndex));
            if (!row.chunks[j].Read(store.amplitude, (out->first - row.first) * perIndex,
                    out->count * perIndex, values.data())) {
                std::lock_guard<std::mutex> lock(mutex);
                if (out->error.isEmpty())
                    out->error = store.ChunkError(
                        store.amplitude, index, QStringLiteral("does not decompress"));
                return false;
            }
            const qint64 s0 = index.back() * sampleChunk;
            const std::size_t run = std::size_t(std::min(sampleChunk, qint64(samples) - s0));
            // An odometer over the chunk's positions in the dimensions between the first and
            // the samples.
            std::vector<qint64> at(std::size_t(std::max(n - 2, 0)), 0);
            for (qint64 q = 0; q < perIndex / sampleChunk; ++q) {
                qint64 position = 0;
                bool inside = true;
                for (int d = 1; d < n - 1; ++d) {
                    const qint64 g = index[std::size_t(d)] * store.amplitude.chunks[std::size_t(d)]
                        + at[std::size_t(d - 1)];
                    inside = inside && g < store.amplitude.shape[std::size_t(d)];
                    position = position * store.amplitude.shape[std::size_t(d)] + g;
                }
                if (inside) {
                    for (qint64 i = 0; i < out->count; ++i) {
                        std::memcpy(out->samples.data()
                                + std::size_t((i * perRow + position) * samples + s0),
                            values.data() + std::size_t(i * perIndex + q * sampleChunk),
                            run * sizeof(float));
                    }
                }
                for (int d = n - 3; d >= 0; --d) {
                    if (++at[std::size_t(d)] < store.amplitude.chunks[std::size_t(d + 1)])
                        break;
                    at[std::size_t(d)] = 0;
                }
            }
            return true;
        });
    }

    const StoreReader& store;
    WorkerPool* pool;
    const int samples;
    const qint64 perRow;
    const qint64 perIndex; // values per index of the first dimension in a chunk
    qint64 groupSize = 1;
    std::vector<GroupPlace> groups;
    Row rows[2];
    std::vector<Scratch> scratch;
};

} // namespace

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

    // Group k + 1 is decoded while group k is written.
    WorkerPool pool(threads);
    Importer importer(store, &pool);
    Group groups[2];
    qint64 written = 0;
    SegyTraceHeader header;
    QByteArray additional;
    if (importer.GroupCount() > 0)
        importer.Prepare(0, &groups[0]);
    for (std::size_t k = 0; k < importer.GroupCount(); ++k) {
        const Group& group = groups[k % 2];
        const bool more = k + 1 < importer.GroupCount();
        if (more)
            pool.Start([&] { importer.Prepare(k + 1, &groups[(k + 1) % 2]); });
        bool ok = group.error.isEmpty();
        if (!ok)
            *error = group.error;
        const Row& row = *group.row;
        const std::size_t firstPosition = std::size_t((group.first - row.first) * perRow);
        const std::size_t positions = std::size_t(group.count * perRow);
        for (std::size_t i = 0; ok && i < positions; ++i) {
            const std::size_t p = firstPosition + i;
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
            ok = writer.WriteTrace(
                header, group.samples.data() + i * std::size_t(samples), count, error, additional);
            ++written;
            if (ok && options.progress && !options.progress(written, total)) {
                *error = outPath + QStringLiteral(": cancelled");
                ok = false;
            }
        }
        if (more)
            pool.Wait();
        if (!ok) {
            writer.Cancel();
            return false;
        }
    }
    return writer.Finish(error);
}
