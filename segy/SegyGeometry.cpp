#include "SegyGeometry.h"

#include "SegySamples.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numeric>
#include <thread>

namespace {

// Header fields are read this many traces at a time: the headers of one run stay in the cache
// and the TLB while each field of the run is read.
constexpr qint64 kRun = 1024;

// Grids larger than this many times the traces, and larger than kSmallGrid, or larger than
// kLargestGrid, are not built: the numbers do not describe a grid.
constexpr qint64 kSparseFactor = 16;
constexpr qint64 kSmallGrid = 4096;
constexpr qint64 kLargestGrid = qint64(1) << 28;

constexpr qint64 kFirstOffset = std::numeric_limits<qint64>::min();

quint64 Gcd(quint64 a, quint64 b)
{
    while (b != 0) {
        const quint64 t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// Index of a number known to lie on the axis; a step of 1 (most axes) needs no division.
inline qint64 IndexOn(const SegyAxis& axis, qint64 number)
{
    const qint64 d = qint64(quint64(number) - quint64(axis.first));
    return axis.step == 1 ? d : d / axis.step;
}

// Stretches of equal consecutive values, duplicates (used[i] == 0) left out.
qint64 Runs(const std::vector<qint64>& v, const std::vector<char>& used)
{
    qint64 runs = 0;
    const qint64* last = nullptr;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!used[i])
            continue;
        runs += !last || *last != v[i];
        last = &v[i];
    }
    return runs;
}

// The axis through all of `v`: smallest to largest value in the greatest common step of their
// differences. `positions` is its length, which may not fit an axis.
SegyAxis AxisOf(const std::vector<qint64>& v, long double* positions)
{
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    // The common step of all differences is that of consecutive ones; most are 0 or the step.
    quint64 step = 0;
    for (std::size_t i = 1; i < v.size() && step != 1; ++i) {
        const quint64 d = v[i] > v[i - 1] ? quint64(v[i]) - quint64(v[i - 1])
                                          : quint64(v[i - 1]) - quint64(v[i]);
        if (d != 0 && d != step)
            step = Gcd(step, d);
    }
    if (step == 0)
        step = 1;
    const quint64 intervals = (quint64(*hi) - quint64(*lo)) / step;
    *positions = (long double)intervals + 1;
    SegyAxis axis;
    axis.first = *lo;
    axis.last = *hi;
    // A step that does not fit leaves an axis far too long for a grid anyway.
    axis.step = qint64(std::min<quint64>(step, quint64(std::numeric_limits<qint64>::max())));
    axis.count = intervals < quint64(kLargestGrid) ? qint64(intervals) + 1 : kLargestGrid + 1;
    return axis;
}

// True when two traces share an (a, b) bin, or when the bins are too many to tell.
bool BinsRepeat(const std::vector<qint64>& av, const std::vector<qint64>& bv)
{
    long double na = 0, nb = 0;
    const SegyAxis a = AxisOf(av, &na), b = AxisOf(bv, &nb);
    const long double bins = na * nb;
    if (bins > (long double)std::max<qint64>(kSparseFactor * qint64(av.size()), kSmallGrid)
        || bins > (long double)kLargestGrid)
        return true;
    std::vector<bool> seen(std::size_t(a.count * b.count), false);
    for (std::size_t t = 0; t < av.size(); ++t) {
        const std::size_t bin = std::size_t(IndexOn(a, av[t]) * b.count + IndexOn(b, bv[t]));
        if (seen[bin])
            return true;
        seen[bin] = true;
    }
    return false;
}

double ApplyScalar(qint64 value, qint64 scalar)
{
    if (scalar > 0)
        return double(value) * double(scalar);
    if (scalar < 0)
        return double(value) / -double(scalar);
    return double(value);
}

// Least-squares sums of a plane z = a + b u + c v, about a reference point for precision.
struct PlaneSums {
    double n = 0, u = 0, v = 0, uu = 0, uv = 0, vv = 0, z = 0, uz = 0, vz = 0;
    void Add(double pu, double pv, double pz)
    {
        n += 1;
        u += pu;
        v += pv;
        uu += pu * pu;
        uv += pu * pv;
        vv += pv * pv;
        z += pz;
        uz += pu * pz;
        vz += pv * pz;
    }
    void Merge(const PlaneSums& o)
    {
        n += o.n;
        u += o.u;
        v += o.v;
        uu += o.uu;
        uv += o.uv;
        vv += o.vv;
        z += o.z;
        uz += o.uz;
        vz += o.vz;
    }
    // a, b, c; a direction along which the points do not vary gets no slope.
    void Solve(double* a, double* b, double* c) const
    {
        const double mu = u / n, mv = v / n, mz = z / n;
        const double cuu = uu / n - mu * mu, cuv = uv / n - mu * mv, cvv = vv / n - mv * mv;
        const double cuz = uz / n - mu * mz, cvz = vz / n - mv * mz;
        const double det = cuu * cvv - cuv * cuv;
        const double scale = std::max(cuu * cvv, 1e-300);
        *b = *c = 0;
        if (det > 1e-12 * scale) {
            *b = (cuz * cvv - cvz * cuv) / det;
            *c = (cvz * cuu - cuz * cuv) / det;
        } else if (cuu > 0) {
            *b = cuz / cuu;
        } else if (cvv > 0) {
            *c = cvz / cvv;
        }
        *a = mz - *b * mu - *c * mv;
    }
};

} // namespace

struct SegyGeometry::Data {
    const SegyFile* file = nullptr;
    QString path;
    SegyGeometryKind kind = SegyGeometryKind::Unstructured;
    SegyTraceSorting sorting = SegyTraceSorting::None;
    bool offsetsInnermost = true;
    QStringList warnings;
    SegyField inlineField{}, crosslineField{}, offsetField{}, cdpField{};
    SegyField xField{}, yField{}, scalarField{};

    SegyAxis inlines, crosslines, cdps;
    std::vector<qint64> offsets;
    SegyGridMap map;
    qint64 traceCount = 0;
    qint64 missingBins = 0;
    qint64 missingTraces = 0;
    qint64 duplicates = 0;
    int samples = 0;

    // Grid of trace numbers (-1: missing), (a, b, offset) with the offset fastest: a is the
    // inline (the CDP of a line), b the crossline (one position for a line).
    SegyAxis a, b;
    std::vector<qint64> grid;
    std::vector<char> used; // while building: 0 for a duplicate trace
    // The first trace's keys and coordinates: the map is fitted about them for precision.
    double refIl = 0, refXl = 0, refX = 0, refY = 0;

    QString Message(const QString& problem) const { return path + QStringLiteral(": ") + problem; }
    bool Fail(QString* error, const QString& problem) const
    {
        if (error)
            *error = Message(problem);
        return false;
    }

    bool Build(const SegyGeometryOptions& options, QString* error);
    bool ParseFields(const SegyGeometryOptions& options, QString* error);
    bool ReadKeys(const SegyGeometryOptions& options, std::vector<qint64>* il,
        std::vector<qint64>* xl, std::vector<qint64>* off, PlaneSums* xs, PlaneSums* ys,
        bool* anyCoordinate, QString* error);
    // While building: each trace's coordinates less the first trace's. Floats keep a survey's
    // extent to millimetres, enough for the residuals of the map.
    std::vector<float> dx, dy;
    bool ReadColumn(const SegyField& field, std::vector<qint64>* v, QString* error) const;
    void FindOffsets(const std::vector<qint64>& off);
    bool Place(const std::vector<qint64>& av, const std::vector<qint64>& bv,
        const std::vector<qint64>& off, const char* aName, const char* bName);
    void FitMap(const std::vector<qint64>& il, const std::vector<qint64>& xl, const PlaneSums& xs,
        const PlaneSums& ys);
    void SetSampleCount();

    qint64 Slot(qint64 ia, qint64 ib, qint64 io) const
    {
        return (ia * b.count + ib) * qint64(std::max<std::size_t>(offsets.size(), 1)) + io;
    }
    bool OffsetIndex(const SegySliceOptions& options, qint64* index, QString* error) const;
    bool CheckReadable(QString* error) const;
    bool CheckKind(bool wanted, const char* what, QString* error) const;
    // Samples [s0, s0 + n) of `trace` into dst, filled where the trace has none.
    void ReadTrace(qint64 trace, int s0, int n, float* dst, float fill) const;
    // Sample `sample` of bins [begin, end) at offset index io into dst[begin, end).
    void ReadSliceSamples(
        int sample, qint64 begin, qint64 end, qint64 no, qint64 io, float* dst, float fill) const;
};

bool SegyGeometry::Data::ParseFields(const SegyGeometryOptions& options, QString* error)
{
    const struct {
        const QString& text;
        SegyField* field;
        const char* what;
    } keys[] = {
        {options.inlineField, &inlineField, "inline"},
        {options.crosslineField, &crosslineField, "crossline"},
        {options.offsetField, &offsetField, "offset"},
        {options.cdpField, &cdpField, "CDP"},
        {options.cdpXField, &xField, "CDP X"},
        {options.cdpYField, &yField, "CDP Y"},
        {options.coordinateScalarField, &scalarField, "coordinate scalar"},
    };
    for (const auto& key : keys) {
        if (!ParseSegyTraceField(key.text, key.field)) {
            return Fail(error,
                QStringLiteral("no trace header field '%1' for the %2 key")
                    .arg(key.text, QLatin1String(key.what)));
        }
    }
    return true;
}

bool SegyGeometry::Data::ReadColumn(
    const SegyField& field, std::vector<qint64>* v, QString* error) const
{
    v->resize(std::size_t(traceCount));
    return traceCount == 0 || file->ReadTraceFieldColumn(field, 0, traceCount, v->data(), error);
}

// One pass over the headers: the keys of every trace, and the sums that fit the grid map.
bool SegyGeometry::Data::ReadKeys(const SegyGeometryOptions& options, std::vector<qint64>* il,
    std::vector<qint64>* xl, std::vector<qint64>* off, PlaneSums* xs, PlaneSums* ys,
    bool* anyCoordinate, QString* error)
{
    il->resize(std::size_t(traceCount));
    xl->resize(std::size_t(traceCount));
    off->resize(std::size_t(traceCount));
    dx.resize(std::size_t(traceCount));
    dy.resize(std::size_t(traceCount));
    const SegyField fields[]
        = {inlineField, crosslineField, offsetField, xField, yField, scalarField};
    {
        qint64 k[6];
        qint64* const columns[] = {k, k + 1, k + 2, k + 3, k + 4, k + 5};
        if (!file->ReadTraceFieldColumns(fields, 6, 0, 1, columns, error))
            return false;
        refIl = double(k[0]);
        refXl = double(k[1]);
        refX = ApplyScalar(k[3], k[5]);
        refY = ApplyScalar(k[4], k[5]);
    }

    // The scan waits on memory far more than it computes: two halves of the file at once keep
    // twice as many header reads under way. The halves are fixed, so the sums (and the map) do
    // not depend on the machine.
    struct Half {
        qint64 begin = 0, end = 0;
        PlaneSums xs, ys;
        bool any = false;
    };
    Half halves[2];
    const int parts = traceCount >= 8 * kRun ? 2 : 1;
    halves[0].end = parts == 2 ? traceCount / 2 : traceCount;
    halves[1].begin = halves[0].end;
    halves[1].end = traceCount;
    std::atomic<qint64> done{0};
    std::atomic<bool> stop{false};
    auto scan = [&](Half& h, bool report) {
        qint64 x[kRun], y[kRun], scalar[kRun];
        for (qint64 first = h.begin; first < h.end && !stop; first += kRun) {
            const qint64 n = std::min(kRun, h.end - first);
            qint64* pil = il->data() + first;
            qint64* pxl = xl->data() + first;
            qint64* const columns[] = {pil, pxl, off->data() + first, x, y, scalar};
            file->ReadTraceFieldColumns(fields, 6, first, n, columns);
            for (qint64 i = 0; i < n; ++i) {
                h.any = h.any || x[i] != 0 || y[i] != 0;
                const double u = double(pil[i]) - refIl, v = double(pxl[i]) - refXl;
                const double cx = ApplyScalar(x[i], scalar[i]) - refX;
                const double cy = ApplyScalar(y[i], scalar[i]) - refY;
                h.xs.Add(u, v, cx);
                h.ys.Add(u, v, cy);
                dx[std::size_t(first + i)] = float(cx);
                dy[std::size_t(first + i)] = float(cy);
            }
            const qint64 now = done += n;
            if (report && options.progress && !options.progress(now, traceCount))
                stop = true;
        }
    };
    std::thread second;
    if (parts == 2)
        second = std::thread(scan, std::ref(halves[1]), false);
    scan(halves[0], true);
    if (second.joinable())
        second.join();
    if (stop) {
        return Fail(error,
            QStringLiteral("cancelled after %1 of %2 traces").arg(done.load()).arg(traceCount));
    }
    if (options.progress && !options.progress(traceCount, traceCount))
        return Fail(error, QStringLiteral("cancelled after %1 of %1 traces").arg(traceCount));
    *xs = halves[0].xs;
    *ys = halves[0].ys;
    if (parts == 2) {
        xs->Merge(halves[1].xs);
        ys->Merge(halves[1].ys);
    }
    *anyCoordinate = halves[0].any || halves[1].any;
    return true;
}

void SegyGeometry::Data::FindOffsets(const std::vector<qint64>& off)
{
    offsets.clear();
    if (off.empty())
        return;
    // Most files hold one offset, or a few in a repeating pattern: look up the last one first.
    qint64 last = off[0];
    offsets.push_back(last);
    for (qint64 v : off) {
        if (v == last)
            continue;
        last = v;
        auto at = std::lower_bound(offsets.begin(), offsets.end(), v);
        if (at == offsets.end() || *at != v)
            offsets.insert(at, v);
        if (qint64(offsets.size()) > kSmallGrid)
            break;
    }
}

// Puts every trace at its place in the grid of a by b (by offset). False, with the reason as a
// warning, when the grid would be far larger than the traces justify.
bool SegyGeometry::Data::Place(const std::vector<qint64>& av, const std::vector<qint64>& bv,
    const std::vector<qint64>& off, const char* aName, const char* bName)
{
    long double na = 0, nb = 0;
    a = AxisOf(av, &na);
    b = AxisOf(bv, &nb);
    const qint64 no = qint64(std::max<std::size_t>(offsets.size(), 1));
    const long double cells = na * nb * no;
    if (qint64(offsets.size()) > kSmallGrid
        || cells > (long double)std::max(kSparseFactor * traceCount, kSmallGrid)
        || cells > (long double)kLargestGrid) {
        auto axis = [](const char* name, const SegyAxis& x) {
            return QStringLiteral("%1 numbers %2 to %3 (step %4)")
                .arg(QLatin1String(name))
                .arg(x.first)
                .arg(x.last)
                .arg(x.step);
        };
        QString numbers = axis(aName, a);
        if (kind != SegyGeometryKind::Line)
            numbers += QStringLiteral(" and ") + axis(bName, b);
        if (qint64(offsets.size()) > kSmallGrid)
            numbers += QStringLiteral(" with more than %1 offsets").arg(kSmallGrid);
        else if (offsets.size() > 1)
            numbers += QStringLiteral(" with %1 offsets").arg(qint64(offsets.size()));
        warnings << Message(QStringLiteral("no grid: %1 make %2 positions for %3 traces; traces "
                                           "are read by number")
                                .arg(numbers)
                                .arg(double(cells), 0, 'g', 4)
                                .arg(traceCount));
        a = b = SegyAxis();
        offsets.clear();
        return false;
    }

    grid.assign(std::size_t(cells), -1);
    used.assign(std::size_t(traceCount), 1);
    qint64 firstDuplicate = -1, firstHolder = -1;
    for (qint64 t = 0; t < traceCount; ++t) {
        qint64 io = 0;
        if (offsets.size() > 1) {
            io = std::lower_bound(offsets.begin(), offsets.end(), off[std::size_t(t)])
                - offsets.begin();
        }
        const qint64 s = Slot(IndexOn(a, av[std::size_t(t)]), IndexOn(b, bv[std::size_t(t)]), io);
        qint64& cell = grid[std::size_t(s)];
        if (cell < 0) {
            cell = t;
        } else {
            used[std::size_t(t)] = 0;
            if (duplicates++ == 0) {
                firstDuplicate = t;
                firstHolder = cell;
            }
        }
    }
    if (duplicates > 0) {
        QString where = QStringLiteral("%1 %2").arg(QLatin1String(aName)).arg(av[firstDuplicate]);
        if (b.count > 1 || kind != SegyGeometryKind::Line)
            where += QStringLiteral(", %1 %2").arg(QLatin1String(bName)).arg(bv[firstDuplicate]);
        if (offsets.size() > 1)
            where += QStringLiteral(", offset %1").arg(off[firstDuplicate]);
        warnings << Message(QStringLiteral("%1 duplicate traces; the first is trace %2 at %3, "
                                           "held by trace %4 (the first in file order is used)")
                                .arg(duplicates)
                                .arg(firstDuplicate)
                                .arg(where)
                                .arg(firstHolder));
    }
    for (qint64 bin = 0; bin < a.count * b.count; ++bin) {
        qint64 empty = 0;
        for (qint64 io = 0; io < no; ++io)
            empty += grid[std::size_t(bin * no + io)] < 0;
        missingTraces += empty;
        missingBins += empty == no;
    }
    return true;
}

void SegyGeometry::Data::FitMap(const std::vector<qint64>& il, const std::vector<qint64>& xl,
    const PlaneSums& xs, const PlaneSums& ys)
{
    double ax, bx, cx, ay, by, cy;
    xs.Solve(&ax, &bx, &cx);
    ys.Solve(&ay, &by, &cy);
    map.xi = bx;
    map.xc = cx;
    map.yi = by;
    map.yc = cy;
    map.x0 = refX + ax - bx * refIl - cx * refXl;
    map.y0 = refY + ay - by * refIl - cy * refXl;
    map.valid = true;

    map.maxResidual = 0;
    for (std::size_t t = 0; t < il.size(); ++t) {
        const double u = double(il[t]) - refIl, v = double(xl[t]) - refXl;
        map.maxResidual = std::max(map.maxResidual,
            std::hypot(ax + bx * u + cx * v - dx[t], ay + by * u + cy * v - dy[t]));
    }
}

void SegyGeometry::Data::SetSampleCount()
{
    if (file->IsFixedLength()) {
        samples = file->SamplesPerTrace();
        return;
    }
    samples = 0;
    for (qint64 t = 0; t < traceCount; ++t)
        samples = std::max(samples, file->SampleCount(t));
}

bool SegyGeometry::Data::Build(const SegyGeometryOptions& options, QString* error)
{
    if (!ParseFields(options, error))
        return false;
    traceCount = file->TraceCount();
    SetSampleCount();
    if (traceCount == 0) {
        warnings << Message(QStringLiteral("no traces, no grid"));
        return true;
    }

    std::vector<qint64> il, xl, off;
    PlaneSums xs, ys;
    bool anyCoordinate = false;
    if (!ReadKeys(options, &il, &xl, &off, &xs, &ys, &anyCoordinate, error))
        return false;
    FindOffsets(off);
    if (offsets.size() == 1)
        offsets.clear();

    const bool fixedIl = std::all_of(il.begin(), il.end(), [&](qint64 v) { return v == il[0]; });
    const bool fixedXl = std::all_of(xl.begin(), xl.end(), [&](qint64 v) { return v == xl[0]; });
    if (fixedIl && fixedXl && traceCount > 1) {
        // A 2D line: the traces run along the CDP number.
        std::vector<qint64> cdp;
        if (!ReadColumn(cdpField, &cdp, error))
            return false;
        kind = SegyGeometryKind::Line;
        const std::vector<qint64> one(std::size_t(traceCount), 0);
        if (offsets.size() > 1 && !BinsRepeat(cdp, one))
            offsets.clear();
        if (!Place(cdp, one, off, "CDP", "")) {
            kind = SegyGeometryKind::Unstructured;
            return true;
        }
        cdps = a;
        sorting = Runs(cdp, used) == cdps.count - missingBins ? SegyTraceSorting::Inline
                                                              : SegyTraceSorting::None;
        return true;
    }

    // Offsets that differ where no bin holds two traces are not a pre-stack survey: the field
    // holds something else (or each bin one offset), and the file is a cube.
    if (offsets.size() > 1 && !BinsRepeat(il, xl))
        offsets.clear();
    kind = offsets.size() > 1 ? SegyGeometryKind::Prestack : SegyGeometryKind::Cube;
    if (!Place(il, xl, off, "inline", "crossline")) {
        kind = SegyGeometryKind::Unstructured;
        return true;
    }
    inlines = a;
    crosslines = b;

    // Sorted by inline when the traces of each inline lie together (in each common-offset cube
    // of a file of such cubes); the same for crosslines.
    offsetsInnermost = !(offsets.size() > 1 && Runs(off, used) == qint64(offsets.size()));
    const qint64 cubes = offsetsInnermost ? 1 : qint64(offsets.size());
    std::vector<char> seen(std::size_t(std::max(a.count, b.count)), 0);
    auto present = [&](const std::vector<qint64>& v, const SegyAxis& axis) {
        std::fill(seen.begin(), seen.end(), 0);
        qint64 distinct = 0;
        for (qint64 x : v) {
            char& s = seen[std::size_t(IndexOn(axis, x))];
            distinct += s == 0;
            s = 1;
        }
        return distinct;
    };
    if (Runs(il, used) <= present(il, inlines) * cubes)
        sorting = SegyTraceSorting::Inline;
    else if (Runs(xl, used) <= present(xl, crosslines) * cubes)
        sorting = SegyTraceSorting::Crossline;

    if (anyCoordinate)
        FitMap(il, xl, xs, ys);
    else
        map = SegyGridMap();
    return true;
}

bool SegyGeometry::Data::CheckReadable(QString* error) const
{
    if (file->Format().readable)
        return true;
    return Fail(error,
        QStringLiteral("samples of format %1 (%2) cannot be read")
            .arg(file->Format().code)
            .arg(QLatin1String(file->Format().title)));
}

bool SegyGeometry::Data::CheckKind(bool wanted, const char* what, QString* error) const
{
    if (wanted)
        return CheckReadable(error);
    static const char* const kinds[]
        = {"a post-stack cube", "a pre-stack survey", "a 2D line", "an unstructured file"};
    return Fail(error,
        QStringLiteral("%1 has no %2").arg(QLatin1String(kinds[int(kind)]), QLatin1String(what)));
}

bool SegyGeometry::Data::OffsetIndex(
    const SegySliceOptions& options, qint64* index, QString* error) const
{
    *index = 0;
    if (offsets.size() <= 1 || options.offset == kFirstOffset)
        return true;
    auto at = std::lower_bound(offsets.begin(), offsets.end(), options.offset);
    if (at == offsets.end() || *at != options.offset)
        return Fail(error, QStringLiteral("no offset %1 in the file").arg(options.offset));
    *index = at - offsets.begin();
    return true;
}

void SegyGeometry::Data::ReadTrace(qint64 trace, int s0, int n, float* dst, float fill) const
{
    int have = 0;
    if (trace >= 0) {
        have = std::clamp(file->SampleCount(trace) - s0, 0, n);
        if (have > 0) {
            const unsigned char* p
                = file->RawSamples(trace) + qint64(s0) * file->Format().bytesPerSample;
            DecodeSegySamples(
                p, file->Format().code, file->ByteOrder() == SegyByteOrder::Little, dst, have);
        }
    }
    std::fill(dst + have, dst + n, fill);
}

namespace {

// Runs work(begin, end) over [0, count) on up to `threads` threads (0: one per core).
template <typename Work> void Split(qint64 count, int threads, Work work)
{
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    threads = int(std::min<qint64>(threads, std::max<qint64>(1, count / 256)));
    if (threads <= 1) {
        work(qint64(0), count);
        return;
    }
    std::vector<std::thread> pool;
    const qint64 part = (count + threads - 1) / threads;
    for (int i = 1; i < threads; ++i) {
        const qint64 begin = std::min(count, i * part), end = std::min(count, begin + part);
        pool.emplace_back([=] { work(begin, end); });
    }
    work(0, std::min(count, part));
    for (std::thread& t : pool)
        t.join();
}

} // namespace

SegyGeometry::SegyGeometry(std::unique_ptr<Data> data)
    : d(std::move(data))
{
}

SegyGeometry::~SegyGeometry() = default;

std::unique_ptr<SegyGeometry> SegyGeometry::Build(
    const SegyFile& file, QString* error, const SegyGeometryOptions& options)
{
    auto data = std::make_unique<Data>();
    data->file = &file;
    data->path = file.FileName();
    if (!data->Build(options, error))
        return nullptr;
    std::vector<char>().swap(data->used);
    std::vector<float>().swap(data->dx);
    std::vector<float>().swap(data->dy);
    return std::unique_ptr<SegyGeometry>(new SegyGeometry(std::move(data)));
}

const SegyFile& SegyGeometry::File() const
{
    return *d->file;
}

SegyGeometryKind SegyGeometry::Kind() const
{
    return d->kind;
}

SegyTraceSorting SegyGeometry::Sorting() const
{
    return d->sorting;
}

bool SegyGeometry::OffsetsInnermost() const
{
    return d->offsetsInnermost;
}

QStringList SegyGeometry::Warnings() const
{
    return d->warnings;
}

const SegyAxis& SegyGeometry::Inlines() const
{
    return d->inlines;
}

const SegyAxis& SegyGeometry::Crosslines() const
{
    return d->crosslines;
}

const std::vector<qint64>& SegyGeometry::Offsets() const
{
    return d->offsets;
}

const SegyAxis& SegyGeometry::Cdps() const
{
    return d->cdps;
}

qint64 SegyGeometry::TraceCount() const
{
    return d->traceCount;
}

qint64 SegyGeometry::BinCount() const
{
    return d->grid.empty() ? 0 : d->a.count * d->b.count;
}

qint64 SegyGeometry::MissingBinCount() const
{
    return d->missingBins;
}

qint64 SegyGeometry::MissingTraceCount() const
{
    return d->missingTraces;
}

qint64 SegyGeometry::DuplicateCount() const
{
    return d->duplicates;
}

int SegyGeometry::SampleCount() const
{
    return d->samples;
}

const SegyGridMap& SegyGeometry::GridMap() const
{
    return d->map;
}

qint64 SegyGeometry::TraceNumber(qint64 inlineNumber, qint64 crosslineNumber, qint64 offset) const
{
    if (d->grid.empty())
        return -1;
    const qint64 ia = d->a.IndexOf(inlineNumber);
    const qint64 ib = d->kind == SegyGeometryKind::Line ? 0 : d->b.IndexOf(crosslineNumber);
    SegySliceOptions options;
    options.offset = offset;
    qint64 io = 0;
    if (ia < 0 || ib < 0 || !d->OffsetIndex(options, &io, nullptr))
        return -1;
    return d->grid[std::size_t(d->Slot(ia, ib, io))];
}

bool SegyGeometry::Position(qint64 trace, SegyBinPosition* position, QString* error) const
{
    return d->file->ReadTraceField(trace, d->inlineField, &position->inlineNumber, error)
        && d->file->ReadTraceField(trace, d->crosslineField, &position->crosslineNumber, error)
        && d->file->ReadTraceField(trace, d->offsetField, &position->offset, error)
        && d->file->ReadTraceField(trace, d->cdpField, &position->cdp, error);
}

bool SegyGeometry::NearestBin(
    double x, double y, qint64* inlineNumber, qint64* crosslineNumber) const
{
    const SegyGridMap& m = d->map;
    if (!m.valid || d->inlines.count == 0)
        return false;
    const double det = m.xi * m.yc - m.xc * m.yi;
    if (det == 0 || !std::isfinite(det))
        return false;
    const double dx = x - m.x0, dy = y - m.y0;
    const double il = (dx * m.yc - dy * m.xc) / det;
    const double xl = (dy * m.xi - dx * m.yi) / det;
    const double fi = (il - double(d->inlines.first)) / double(d->inlines.step);
    const double fx = (xl - double(d->crosslines.first)) / double(d->crosslines.step);
    if (!(fi >= -0.5 && fi <= double(d->inlines.count) - 0.5 && fx >= -0.5
            && fx <= double(d->crosslines.count) - 0.5))
        return false;
    const qint64 ii = std::min(d->inlines.count - 1, qint64(std::llround(fi)));
    const qint64 ix = std::min(d->crosslines.count - 1, qint64(std::llround(fx)));
    *inlineNumber = d->inlines.At(ii);
    *crosslineNumber = d->crosslines.At(ix);
    return true;
}

bool SegyGeometry::ReadInline(
    qint64 number, float* dst, QString* error, const SegySliceOptions& options) const
{
    const bool grid3d = d->kind == SegyGeometryKind::Cube || d->kind == SegyGeometryKind::Prestack;
    qint64 io = 0;
    if (!d->CheckKind(grid3d, "inlines", error) || !d->OffsetIndex(options, &io, error))
        return false;
    const qint64 ia = d->inlines.IndexOf(number);
    if (ia < 0)
        return d->Fail(error, QStringLiteral("no inline %1 in the grid").arg(number));
    for (qint64 ib = 0; ib < d->crosslines.count; ++ib) {
        d->ReadTrace(d->grid[std::size_t(d->Slot(ia, ib, io))], 0, d->samples,
            dst + ib * d->samples, options.fill);
    }
    return true;
}

bool SegyGeometry::ReadCrossline(
    qint64 number, float* dst, QString* error, const SegySliceOptions& options) const
{
    const bool grid3d = d->kind == SegyGeometryKind::Cube || d->kind == SegyGeometryKind::Prestack;
    qint64 io = 0;
    if (!d->CheckKind(grid3d, "crosslines", error) || !d->OffsetIndex(options, &io, error))
        return false;
    const qint64 ib = d->crosslines.IndexOf(number);
    if (ib < 0)
        return d->Fail(error, QStringLiteral("no crossline %1 in the grid").arg(number));
    for (qint64 ia = 0; ia < d->inlines.count; ++ia) {
        d->ReadTrace(d->grid[std::size_t(d->Slot(ia, ib, io))], 0, d->samples,
            dst + ia * d->samples, options.fill);
    }
    return true;
}

bool SegyGeometry::ReadTimeSlice(
    int sample, float* dst, QString* error, const SegySliceOptions& options) const
{
    const bool grid3d = d->kind == SegyGeometryKind::Cube || d->kind == SegyGeometryKind::Prestack;
    qint64 io = 0;
    if (!d->CheckKind(grid3d, "time slices", error) || !d->OffsetIndex(options, &io, error))
        return false;
    if (sample < 0 || sample >= d->samples) {
        return d->Fail(error,
            QStringLiteral("no sample %1: traces hold samples 0 to %2")
                .arg(sample)
                .arg(d->samples - 1));
    }
    const qint64 bins = d->inlines.count * d->crosslines.count;
    const qint64 no = qint64(std::max<std::size_t>(d->offsets.size(), 1));
    Split(bins, options.threads, [&](qint64 begin, qint64 end) {
        d->ReadSliceSamples(sample, begin, end, no, io, dst, options.fill);
    });
    return true;
}

namespace {

// Sample words of `width` bytes of many traces into `raw`, for positions [0, n) of `cells`;
// the words of positions with no trace (or too short a trace) are zero and flagged in `none`.
template <int W, typename Place>
bool GatherWords(qint64 n, Place place, unsigned char* raw, bool* none)
{
    bool any = false;
    for (qint64 i = 0; i < n; ++i) {
        const unsigned char* p = place(i);
        none[i] = p == nullptr;
        if (p) {
            std::memcpy(raw + i * W, p, W);
        } else {
            std::memset(raw + i * W, 0, W);
            any = true;
        }
    }
    return any;
}

} // namespace

void SegyGeometry::Data::ReadSliceSamples(
    int sample, qint64 begin, qint64 end, qint64 no, qint64 io, float* dst, float fill) const
{
    const int width = file->Format().bytesPerSample;
    const int code = file->Format().code;
    const bool little = file->ByteOrder() == SegyByteOrder::Little;
    const qint64* cells = grid.data() + io;
    // A fixed-length file is one stride from trace to trace: plain arithmetic lets many loads
    // run at once, as a loop over the raw words would.
    const bool fixed = file->IsFixedLength() && traceCount > 0;
    const unsigned char* first = fixed ? file->RawSamples(0) + qint64(sample) * width : nullptr;
    const qint64 stride = fixed && traceCount > 1 ? file->TraceOffset(1) - file->TraceOffset(0) : 0;
    constexpr qint64 kBlock = 2048;
    unsigned char raw[kBlock * 8];
    bool none[kBlock];
    for (qint64 at = begin; at < end; at += kBlock) {
        const qint64 n = std::min(kBlock, end - at);
        const qint64* c = cells + at * no;
        auto place = [&](qint64 i) -> const unsigned char* {
            const qint64 trace = c[i * no];
            if (trace < 0)
                return nullptr;
            if (fixed)
                return first + trace * stride;
            return sample < file->SampleCount(trace)
                ? file->RawSamples(trace) + qint64(sample) * width
                : nullptr;
        };
        bool any = false;
        switch (width) {
        case 1:
            any = GatherWords<1>(n, place, raw, none);
            break;
        case 2:
            any = GatherWords<2>(n, place, raw, none);
            break;
        case 3:
            any = GatherWords<3>(n, place, raw, none);
            break;
        case 4:
            any = GatherWords<4>(n, place, raw, none);
            break;
        default:
            any = GatherWords<8>(n, place, raw, none);
            break;
        }
        DecodeSegySamples(raw, code, little, dst + at, int(n));
        for (qint64 i = 0; any && i < n; ++i) {
            if (none[i])
                dst[at + i] = fill;
        }
    }
}

bool SegyGeometry::ReadSubVolume(qint64 il0, qint64 il1, qint64 xl0, qint64 xl1, int s0, int s1,
    float* dst, QString* error, const SegySliceOptions& options) const
{
    const bool grid3d = d->kind == SegyGeometryKind::Cube || d->kind == SegyGeometryKind::Prestack;
    qint64 io = 0;
    if (!d->CheckKind(grid3d, "sub-volumes", error) || !d->OffsetIndex(options, &io, error))
        return false;
    const qint64 ia0 = d->inlines.IndexOf(il0), ia1 = d->inlines.IndexOf(il1);
    const qint64 ib0 = d->crosslines.IndexOf(xl0), ib1 = d->crosslines.IndexOf(xl1);
    if (ia0 < 0 || ia1 < ia0)
        return d->Fail(error, QStringLiteral("no inlines %1 to %2 in the grid").arg(il0).arg(il1));
    if (ib0 < 0 || ib1 < ib0) {
        return d->Fail(
            error, QStringLiteral("no crosslines %1 to %2 in the grid").arg(xl0).arg(xl1));
    }
    if (s0 < 0 || s1 <= s0 || s1 > d->samples) {
        return d->Fail(error,
            QStringLiteral("no samples %1 to %2: traces hold samples 0 to %3")
                .arg(s0)
                .arg(s1 - 1)
                .arg(d->samples - 1));
    }
    const qint64 nb = ib1 - ib0 + 1;
    const int ns = s1 - s0;
    Split((ia1 - ia0 + 1) * nb, options.threads, [&](qint64 begin, qint64 end) {
        for (qint64 k = begin; k < end; ++k) {
            const qint64 trace = d->grid[std::size_t(d->Slot(ia0 + k / nb, ib0 + k % nb, io))];
            d->ReadTrace(trace, s0, ns, dst + k * ns, options.fill);
        }
    });
    return true;
}

bool SegyGeometry::ReadGather(qint64 inlineNumber, qint64 crosslineNumber, float* dst,
    QString* error, const SegySliceOptions& options) const
{
    if (!d->CheckKind(d->kind == SegyGeometryKind::Prestack, "gathers", error))
        return false;
    const qint64 ia = d->inlines.IndexOf(inlineNumber), ib = d->crosslines.IndexOf(crosslineNumber);
    if (ia < 0 || ib < 0) {
        return d->Fail(error,
            QStringLiteral("no bin at inline %1, crossline %2 in the grid")
                .arg(inlineNumber)
                .arg(crosslineNumber));
    }
    for (qint64 io = 0; io < qint64(d->offsets.size()); ++io)
        d->ReadTrace(d->grid[std::size_t(d->Slot(ia, ib, io))], 0, d->samples,
            dst + io * d->samples, options.fill);
    return true;
}

bool SegyGeometry::ReadLine(float* dst, QString* error, const SegySliceOptions& options) const
{
    qint64 io = 0;
    if (!d->CheckKind(d->kind == SegyGeometryKind::Line, "2D line to read", error)
        || !d->OffsetIndex(options, &io, error))
        return false;
    for (qint64 ia = 0; ia < d->cdps.count; ++ia) {
        d->ReadTrace(d->grid[std::size_t(d->Slot(ia, 0, io))], 0, d->samples, dst + ia * d->samples,
            options.fill);
    }
    return true;
}

const char* SegyGeometryKindName(SegyGeometryKind kind)
{
    switch (kind) {
    case SegyGeometryKind::Cube:
        return "cube";
    case SegyGeometryKind::Prestack:
        return "prestack";
    case SegyGeometryKind::Line:
        return "line";
    case SegyGeometryKind::Unstructured:
        break;
    }
    return "unstructured";
}

const char* SegyTraceSortingName(SegyTraceSorting sorting)
{
    switch (sorting) {
    case SegyTraceSorting::Inline:
        return "inline";
    case SegyTraceSorting::Crossline:
        return "crossline";
    case SegyTraceSorting::None:
        break;
    }
    return "none";
}
