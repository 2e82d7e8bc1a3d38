#include "ZarrArray.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <blosc.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QJsonArray IntegerList(const std::vector<qint64>& values)
{
    QJsonArray list;
    for (const qint64 v : values)
        list.append(double(v));
    return list;
}

bool ParseIntegerList(const QJsonValue& value, std::vector<qint64>* out)
{
    if (!value.isArray())
        return false;
    out->clear();
    for (const QJsonValue& v : value.toArray()) {
        if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() != double(qint64(v.toDouble())))
            return false;
        out->push_back(qint64(v.toDouble()));
    }
    return true;
}

bool WriteAll(int fd, const void* data, std::size_t size, QString* reason)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *reason = SystemReason(errno);
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

const char* ZarrCompressionName(ZarrCompression compression)
{
    switch (compression) {
    case ZarrCompression::None:
        return "none";
    case ZarrCompression::Lz4:
        return "lz4";
    case ZarrCompression::Zstd:
        return "zstd";
    }
    return "none";
}

bool ParseZarrCompression(const QString& name, ZarrCompression* compression)
{
    for (const ZarrCompression c :
        {ZarrCompression::None, ZarrCompression::Lz4, ZarrCompression::Zstd}) {
        if (name == QLatin1String(ZarrCompressionName(c))) {
            *compression = c;
            return true;
        }
    }
    return false;
}

int ZarrArray::ItemSize() const
{
    return dtype.isEmpty() ? 0 : dtype.mid(2).toInt();
}

qint64 ZarrArray::ChunkElements() const
{
    qint64 n = 1;
    for (const qint64 c : chunks)
        n *= c;
    return n;
}

QJsonObject ZarrArray::Metadata() const
{
    QJsonObject m;
    m.insert(QStringLiteral("zarr_format"), 2);
    m.insert(QStringLiteral("shape"), IntegerList(shape));
    m.insert(QStringLiteral("chunks"), IntegerList(chunks));
    m.insert(QStringLiteral("dtype"), QString::fromLatin1(dtype));
    if (compression == ZarrCompression::None) {
        m.insert(QStringLiteral("compressor"), QJsonValue::Null);
    } else {
        QJsonObject c;
        c.insert(QStringLiteral("id"), QStringLiteral("blosc"));
        c.insert(QStringLiteral("cname"), QString::fromLatin1(ZarrCompressionName(compression)));
        c.insert(QStringLiteral("clevel"), level);
        c.insert(QStringLiteral("shuffle"), 1);
        c.insert(QStringLiteral("blocksize"), blocksize);
        m.insert(QStringLiteral("compressor"), c);
    }
    m.insert(QStringLiteral("fill_value"), QJsonValue::Null);
    m.insert(QStringLiteral("order"), QStringLiteral("C"));
    m.insert(QStringLiteral("filters"), QJsonValue::Null);
    m.insert(QStringLiteral("dimension_separator"), QStringLiteral("."));
    return m;
}

QJsonObject ZarrArray::AttributeObject() const
{
    QJsonObject a = attributes;
    a.insert(QStringLiteral("_ARRAY_DIMENSIONS"), QJsonArray::fromStringList(dimensions));
    return a;
}

bool ParseZarrArray(
    const QJsonObject& metadata, const QJsonObject& attributes, ZarrArray* array, QString* reason)
{
    if (metadata.value(QStringLiteral("zarr_format")).toInt() != 2) {
        *reason = QStringLiteral("not a Zarr version 2 array");
        return false;
    }
    if (!ParseIntegerList(metadata.value(QStringLiteral("shape")), &array->shape)
        || !ParseIntegerList(metadata.value(QStringLiteral("chunks")), &array->chunks)
        || array->shape.size() != array->chunks.size()) {
        *reason = QStringLiteral("shape or chunks unreadable");
        return false;
    }
    for (const qint64 c : array->chunks) {
        if (c <= 0) {
            *reason = QStringLiteral("a chunk size of 0");
            return false;
        }
    }
    array->dtype = metadata.value(QStringLiteral("dtype")).toString().toLatin1();
    if (array->dtype != "<f4" && array->dtype != "<f8" && array->dtype != "<i8"
        && array->dtype != "|u1") {
        *reason
            = QStringLiteral("data type '%1' not supported").arg(QString::fromLatin1(array->dtype));
        return false;
    }
    if (metadata.value(QStringLiteral("order")).toString() != QLatin1String("C")
        || !metadata.value(QStringLiteral("filters")).isNull()
        || metadata.value(QStringLiteral("dimension_separator")).toString(QStringLiteral("."))
            != QLatin1String(".")) {
        *reason = QStringLiteral("order, filters or key separator not supported");
        return false;
    }
    const QJsonValue compressor = metadata.value(QStringLiteral("compressor"));
    if (compressor.isNull()) {
        array->compression = ZarrCompression::None;
    } else {
        const QJsonObject c = compressor.toObject();
        if (c.value(QStringLiteral("id")).toString() != QLatin1String("blosc")) {
            *reason = QStringLiteral("compressor not supported");
            return false;
        }
        // Blosc records its codec in every chunk; the name only has to be one Blosc knows.
        const QString cname = c.value(QStringLiteral("cname")).toString();
        if (!ParseZarrCompression(cname, &array->compression)
            || array->compression == ZarrCompression::None)
            array->compression = ZarrCompression::Zstd;
        array->level = c.value(QStringLiteral("clevel")).toInt(5);
        array->blocksize = c.value(QStringLiteral("blocksize")).toInt(0);
    }
    array->dimensions.clear();
    for (const QJsonValue& d : attributes.value(QStringLiteral("_ARRAY_DIMENSIONS")).toArray())
        array->dimensions << d.toString();
    array->attributes = attributes;
    array->attributes.remove(QStringLiteral("_ARRAY_DIMENSIONS"));
    return true;
}

QByteArray ZarrChunkKey(const std::vector<qint64>& index)
{
    QByteArray key;
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (i > 0)
            key += '.';
        key += QByteArray::number(index[i]);
    }
    return key;
}

bool WriteZarrChunk(const ZarrArray& array, const QString& path, const void* data,
    std::vector<unsigned char>* work, QString* reason)
{
    const std::size_t bytes = array.ChunkBytes();
    const void* out = data;
    std::size_t outSize = bytes;
    if (array.compression != ZarrCompression::None) {
        work->resize(bytes + BLOSC_MAX_OVERHEAD);
        const int n = blosc_compress_ctx(array.level, BLOSC_SHUFFLE, std::size_t(array.ItemSize()),
            bytes, data, work->data(), work->size(), ZarrCompressionName(array.compression),
            std::size_t(array.blocksize), 1);
        if (n <= 0) {
            *reason = QStringLiteral("Blosc cannot compress the chunk");
            return false;
        }
        out = work->data();
        outSize = std::size_t(n);
    }
    const int fd = ::open(
        QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = SystemReason(errno);
        return false;
    }
    const bool written = WriteAll(fd, out, outSize, reason);
    if (::close(fd) != 0 && written) {
        *reason = SystemReason(errno);
        return false;
    }
    return written;
}

bool ReadZarrChunk(const ZarrArray& array, const QString& path, void* data,
    std::vector<unsigned char>* work, QString* reason)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno == ENOENT ? QStringLiteral("missing") : SystemReason(errno);
        return false;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        *reason = SystemReason(errno);
        ::close(fd);
        return false;
    }
    work->resize(std::size_t(st.st_size));
    std::size_t got = 0;
    while (got < work->size()) {
        const ssize_t n = ::read(fd, work->data() + got, work->size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    ::close(fd);
    const std::size_t bytes = array.ChunkBytes();
    if (array.compression == ZarrCompression::None) {
        if (got != bytes) {
            *reason = QStringLiteral("%1 bytes where the chunk holds %2").arg(got).arg(bytes);
            return false;
        }
        std::memcpy(data, work->data(), bytes);
        return true;
    }
    std::size_t decompressed = 0;
    if (got < BLOSC_MIN_HEADER_LENGTH
        || blosc_cbuffer_validate(work->data(), got, &decompressed) != 0) {
        *reason = QStringLiteral("truncated or not Blosc data (%1 bytes)").arg(got);
        return false;
    }
    if (decompressed != bytes) {
        *reason = QStringLiteral("decompresses to %1 bytes where the chunk holds %2")
                      .arg(decompressed)
                      .arg(bytes);
        return false;
    }
    if (blosc_decompress_ctx(work->data(), data, bytes, 1) != int(bytes)) {
        *reason = QStringLiteral("does not decompress");
        return false;
    }
    return true;
}

void CopyZarrChunkToRows(const ZarrArray& array, const std::vector<qint64>& index,
    const void* chunk, qint64 firstRow, void* rows)
{
    const int n = int(array.shape.size());
    const std::size_t item = std::size_t(array.ItemSize());
    const qint64 lastStart = index[n - 1] * array.chunks[n - 1];
    const qint64 run = std::min(array.chunks[n - 1], array.shape[n - 1] - lastStart);
    if (run <= 0)
        return;
    // An odometer over the chunk's positions in every dimension but the last.
    std::vector<qint64> at(std::size_t(n), 0);
    const auto* src = static_cast<const unsigned char*>(chunk);
    auto* dst = static_cast<unsigned char*>(rows);
    for (;;) {
        bool inside = true;
        qint64 dense = 0;
        qint64 inChunk = 0;
        for (int d = 0; d < n; ++d) {
            const qint64 g = index[d] * array.chunks[d] + (d < n - 1 ? at[d] : 0);
            inside = inside && g < array.shape[d];
            dense = dense * array.shape[d] + (d == 0 ? g - firstRow : g);
            inChunk = inChunk * array.chunks[d] + at[d];
        }
        if (inside)
            std::memcpy(dst + std::size_t(dense) * item, src + std::size_t(inChunk) * item,
                std::size_t(run) * item);
        int d = n - 2;
        while (d >= 0 && ++at[d] == array.chunks[d])
            at[d--] = 0;
        if (d < 0)
            break;
    }
}

bool WriteJsonFile(const QString& path, const QJsonObject& object, QString* reason)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(QJsonDocument(object).toJson()) < 0) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

bool ReadJsonFile(const QString& path, QJsonObject* object, QString* reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        *reason = parseError.error != QJsonParseError::NoError
            ? parseError.errorString()
            : QStringLiteral("not a JSON object");
        return false;
    }
    *object = document.object();
    return true;
}
