#include "SegyZarr.h"

#include "SegyZarrStore.h"

#include <algorithm>
#include <cstring>
#include <limits>

using namespace SegyZarrNames;

namespace {

constexpr qint64 kFirstOffset = std::numeric_limits<qint64>::min();

// The values of `array` in the box [lo, hi) into `dst`, C-ordered over the box: only the
// chunks the box touches are read.
bool ReadBox(const StoreReader& store, const ZarrArray& array, const std::vector<qint64>& lo,
    const std::vector<qint64>& hi, void* dst, QString* error)
{
    const int n = int(array.shape.size());
    const std::size_t item = std::size_t(array.ItemSize());
    std::vector<qint64> first(static_cast<std::size_t>(n));
    std::vector<qint64> last(static_cast<std::size_t>(n));
    for (int d = 0; d < n; ++d) {
        if (hi[std::size_t(d)] <= lo[std::size_t(d)])
            return true;
        first[std::size_t(d)] = lo[std::size_t(d)] / array.chunks[std::size_t(d)];
        last[std::size_t(d)] = (hi[std::size_t(d)] - 1) / array.chunks[std::size_t(d)];
    }
    std::vector<unsigned char> chunk(array.ChunkBytes());
    std::vector<unsigned char> work;
    std::vector<qint64> index = first;
    std::vector<qint64> begin(static_cast<std::size_t>(n));
    std::vector<qint64> end(static_cast<std::size_t>(n));
    std::vector<qint64> at(static_cast<std::size_t>(n));
    auto* out = static_cast<unsigned char*>(dst);
    for (;;) {
        QString reason;
        if (!ReadZarrChunk(
                array, ZarrChunkPath(store.Path(), array, index), chunk.data(), &work, &reason)) {
            if (error)
                *error = store.ChunkError(array, index, reason);
            return false;
        }
        for (int d = 0; d < n; ++d) {
            const qint64 origin = index[std::size_t(d)] * array.chunks[std::size_t(d)];
            begin[std::size_t(d)] = std::max(lo[std::size_t(d)], origin);
            end[std::size_t(d)]
                = std::min(hi[std::size_t(d)], origin + array.chunks[std::size_t(d)]);
        }
        // Runs along the last dimension of the part of the box inside this chunk.
        at = begin;
        const std::size_t run = std::size_t(end.back() - begin.back()) * item;
        for (;;) {
            qint64 inChunk = 0;
            qint64 inBox = 0;
            for (int d = 0; d < n; ++d) {
                inChunk = inChunk * array.chunks[std::size_t(d)] + at[std::size_t(d)]
                    - index[std::size_t(d)] * array.chunks[std::size_t(d)];
                inBox = inBox * (hi[std::size_t(d)] - lo[std::size_t(d)]) + at[std::size_t(d)]
                    - lo[std::size_t(d)];
            }
            std::memcpy(
                out + std::size_t(inBox) * item, chunk.data() + std::size_t(inChunk) * item, run);
            int d = n - 2;
            while (d >= 0 && ++at[std::size_t(d)] == end[std::size_t(d)]) {
                at[std::size_t(d)] = begin[std::size_t(d)];
                --d;
            }
            if (d < 0)
                break;
        }
        int d = n - 1;
        while (d >= 0 && ++index[std::size_t(d)] > last[std::size_t(d)]) {
            index[std::size_t(d)] = first[std::size_t(d)];
            --d;
        }
        if (d < 0)
            return true;
    }
}

// The numbers of the int64 coordinate array `name`.
bool ReadNumbers(
    const StoreReader& store, const char* name, std::vector<qint64>* values, QString* error)
{
    ZarrArray array;
    if (!store.Load(name, &array, error))
        return false;
    if (array.dtype != "<i8" || array.shape.size() != 1) {
        *error = store.Path() + QStringLiteral(": %1: not a list of int64 numbers").arg(array.name);
        return false;
    }
    std::vector<unsigned char> bytes;
    if (!store.ReadWhole(array, &bytes, error))
        return false;
    values->resize(bytes.size() / sizeof(qint64));
    std::memcpy(values->data(), bytes.data(), bytes.size());
    return true;
}

// The numbers of a coordinate array as an axis; false when they are not evenly spaced.
bool ReadAxis(const StoreReader& store, const char* name, SegyAxis* axis, QString* error)
{
    std::vector<qint64> values;
    if (!ReadNumbers(store, name, &values, error))
        return false;
    if (values.empty())
        return true;
    axis->first = values.front();
    axis->last = values.back();
    axis->step = values.size() > 1 ? values[1] - values[0] : 1;
    axis->count = qint64(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (axis->step <= 0 || values[i] != axis->At(qint64(i))) {
            *error = store.Path()
                + QStringLiteral(": %1: numbers not evenly spaced").arg(QLatin1String(name));
            return false;
        }
    }
    return true;
}

} // namespace

struct SegyZarrStore::Data {
    explicit Data(const QString& path)
        : store(path)
    {
    }

    StoreReader store;
    SegyAxis inlines;
    SegyAxis crosslines;
    SegyAxis cdps;
    std::vector<qint64> offsets;

    bool Grid3d() const
    {
        return store.kind == SegyGeometryKind::Cube || store.kind == SegyGeometryKind::Prestack;
    }
    bool Fail(QString* error, const QString& problem) const
    {
        if (error)
            *error = store.Path() + QStringLiteral(": ") + problem;
        return false;
    }
    bool CheckKind(const char* what, QString* error) const
    {
        return Grid3d()
            || Fail(error,
                QStringLiteral("a %1 store has no %2")
                    .arg(QLatin1String(SegyGeometryKindName(store.kind)), QLatin1String(what)));
    }
    // Index of the options' offset on the offset dimension (0 when unset).
    bool OffsetIndex(const SegySliceOptions& options, qint64* index, QString* error) const
    {
        *index = 0;
        if (offsets.size() <= 1 || options.offset == kFirstOffset)
            return true;
        const auto at = std::lower_bound(offsets.begin(), offsets.end(), options.offset);
        if (at == offsets.end() || *at != options.offset)
            return Fail(error, QStringLiteral("no offset %1 in the store").arg(options.offset));
        *index = at - offsets.begin();
        return true;
    }
    // Reads the box [lo, hi) of the positions (the dimensions of `live`), samples [s0, s1) of
    // each, and fills the positions without a trace.
    bool Read(std::vector<qint64> lo, std::vector<qint64> hi, qint64 s0, qint64 s1, float fill,
        float* dst, QString* error) const
    {
        std::vector<unsigned char> live;
        qint64 positions = 1;
        for (std::size_t d = 0; d < lo.size(); ++d)
            positions *= hi[d] - lo[d];
        live.resize(std::size_t(positions));
        if (!ReadBox(store, store.live, lo, hi, live.data(), error))
            return false;
        lo.push_back(s0);
        hi.push_back(s1);
        if (!ReadBox(store, store.amplitude, lo, hi, dst, error))
            return false;
        const std::size_t width = std::size_t(s1 - s0);
        for (std::size_t p = 0; p < live.size(); ++p) {
            if (live[p] == 0)
                std::fill(dst + p * width, dst + (p + 1) * width, fill);
        }
        return true;
    }
};

SegyZarrStore::SegyZarrStore(std::unique_ptr<Data> data)
    : d(std::move(data))
{
}

SegyZarrStore::~SegyZarrStore() = default;

std::unique_ptr<SegyZarrStore> SegyZarrStore::Open(const QString& path, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    auto data = std::make_unique<Data>(path);
    if (!data->store.Open(error))
        return nullptr;
    const bool offsets = data->store.kind == SegyGeometryKind::Prestack
        || (data->store.kind == SegyGeometryKind::Line && data->store.amplitude.shape.size() == 3);
    if (offsets && !ReadNumbers(data->store, "offset", &data->offsets, error))
        return nullptr;
    if (data->Grid3d()
        && (!ReadAxis(data->store, "inline", &data->inlines, error)
            || !ReadAxis(data->store, "crossline", &data->crosslines, error)))
        return nullptr;
    if (data->store.kind == SegyGeometryKind::Line
        && !ReadAxis(data->store, "cdp", &data->cdps, error))
        return nullptr;
    return std::unique_ptr<SegyZarrStore>(new SegyZarrStore(std::move(data)));
}

SegyGeometryKind SegyZarrStore::Kind() const
{
    return d->store.kind;
}

const SegyAxis& SegyZarrStore::Inlines() const
{
    return d->inlines;
}

const SegyAxis& SegyZarrStore::Crosslines() const
{
    return d->crosslines;
}

const std::vector<qint64>& SegyZarrStore::Offsets() const
{
    return d->offsets;
}

const SegyAxis& SegyZarrStore::Cdps() const
{
    return d->cdps;
}

int SegyZarrStore::SampleCount() const
{
    return d->store.Samples();
}

bool SegyZarrStore::ReadInline(
    qint64 number, float* dst, QString* error, const SegySliceOptions& options) const
{
    qint64 io = 0;
    if (!d->CheckKind("inlines", error) || !d->OffsetIndex(options, &io, error))
        return false;
    const qint64 ia = d->inlines.IndexOf(number);
    if (ia < 0)
        return d->Fail(error, QStringLiteral("no inline %1 in the grid").arg(number));
    std::vector<qint64> lo{ia, 0};
    std::vector<qint64> hi{ia + 1, d->crosslines.count};
    if (d->store.kind == SegyGeometryKind::Prestack) {
        lo.push_back(io);
        hi.push_back(io + 1);
    }
    return d->Read(lo, hi, 0, SampleCount(), options.fill, dst, error);
}

bool SegyZarrStore::ReadCrossline(
    qint64 number, float* dst, QString* error, const SegySliceOptions& options) const
{
    qint64 io = 0;
    if (!d->CheckKind("crosslines", error) || !d->OffsetIndex(options, &io, error))
        return false;
    const qint64 ib = d->crosslines.IndexOf(number);
    if (ib < 0)
        return d->Fail(error, QStringLiteral("no crossline %1 in the grid").arg(number));
    std::vector<qint64> lo{0, ib};
    std::vector<qint64> hi{d->inlines.count, ib + 1};
    if (d->store.kind == SegyGeometryKind::Prestack) {
        lo.push_back(io);
        hi.push_back(io + 1);
    }
    return d->Read(lo, hi, 0, SampleCount(), options.fill, dst, error);
}

bool SegyZarrStore::ReadTimeSlice(
    int sample, float* dst, QString* error, const SegySliceOptions& options) const
{
    qint64 io = 0;
    if (!d->CheckKind("time slices", error) || !d->OffsetIndex(options, &io, error))
        return false;
    if (sample < 0 || sample >= SampleCount()) {
        return d->Fail(error,
            QStringLiteral("no sample %1: traces hold samples 0 to %2")
                .arg(sample)
                .arg(SampleCount() - 1));
    }
    std::vector<qint64> lo{0, 0};
    std::vector<qint64> hi{d->inlines.count, d->crosslines.count};
    if (d->store.kind == SegyGeometryKind::Prestack) {
        lo.push_back(io);
        hi.push_back(io + 1);
    }
    return d->Read(lo, hi, sample, sample + 1, options.fill, dst, error);
}
