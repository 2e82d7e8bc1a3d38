#include "SegyFields.h"

#include "SegyFile.h"

#include "TextUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Fields made up by a caller are checked against the header's extent.
bool Inside(const SegyField& field, int first, int last)
{
    return field.byte >= first && field.width >= 1 && field.width <= 8
        && field.byte + field.width - 1 <= last;
}

void SwapFields(unsigned char* header, const SegyField* fields, int count, int base)
{
    for (int i = 0; i < count; ++i) {
        unsigned char* p = header + (fields[i].byte - base);
        std::reverse(p, p + fields[i].width);
    }
}

void StoreField(unsigned char* p, int width, uint64_t bits)
{
    for (int i = width - 1; i >= 0; --i, bits >>= 8)
        p[i] = static_cast<unsigned char>(bits);
}

// The binary header's samples-per-trace count is unsigned from revision 2 on.
SegyFieldType BinaryFieldType(const SegyField& field, const unsigned char* header)
{
    if (field.byte == 3221 && header[300] >= 2)
        return SegyFieldType::UInt16;
    return field.type;
}

} // namespace

uint64_t LoadField(const unsigned char* p, int width, bool little)
{
    uint64_t bits = 0;
    if (little) {
        for (int i = width - 1; i >= 0; --i)
            bits = bits << 8 | p[i];
    } else {
        for (int i = 0; i < width; ++i)
            bits = bits << 8 | p[i];
    }
    return bits;
}

qint64 FieldValue(const unsigned char* p, int width, SegyFieldType type, bool little)
{
    const uint64_t bits = LoadField(p, width, little);
    switch (type) {
    case SegyFieldType::Int8:
        return int8_t(bits);
    case SegyFieldType::Int16:
        return int16_t(bits);
    case SegyFieldType::Int32:
        return int32_t(bits);
    case SegyFieldType::Int64:
        return int64_t(bits);
    case SegyFieldType::Float64: {
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return std::fabs(v) < 9.2e18 ? qint64(v) : 0;
    }
    default:
        return qint64(bits);
    }
}

SegyFieldType TraceFieldType(const SegyField& field, int revision)
{
    if (field.byte == 115 && field.width == 2 && revision >= 2)
        return SegyFieldType::UInt16;
    return field.type;
}

bool CheckTraceField(const SegyField& field, const QString& path, QString* error)
{
    const bool widthOk
        = field.width == 1 || field.width == 2 || field.width == 4 || field.width == 8;
    if (widthOk && field.byte >= 1 && field.byte + field.width - 1 <= 240
        && field.type != SegyFieldType::Float64)
        return true;
    if (error) {
        *error = QStringLiteral("%1: no trace header field of %2 bytes at byte %3")
                     .arg(path)
                     .arg(field.width)
                     .arg(field.byte);
    }
    return false;
}

void SwapBinaryHeader(unsigned char* header)
{
    int count = 0;
    const SegyField* fields = SegyBinaryFields(&count);
    SwapFields(header, fields, count, 3201);
}

void SwapTraceHeader(unsigned char* header)
{
    int count = 0;
    const SegyField* fields = SegyTraceFields(&count);
    SwapFields(header, fields, count, 1);
}

SegyBinaryHeader::SegyBinaryHeader()
{
    std::memset(bytes, 0, sizeof bytes);
}

qint64 SegyBinaryHeader::Value(const SegyField& field) const
{
    if (!Inside(field, 3201, 3600))
        return 0;
    return FieldValue(
        bytes + (field.byte - 3201), field.width, BinaryFieldType(field, bytes), false);
}

quint64 SegyBinaryHeader::UnsignedValue(const SegyField& field) const
{
    if (!Inside(field, 3201, 3600))
        return 0;
    if (field.type == SegyFieldType::UInt64)
        return LoadField(bytes + (field.byte - 3201), field.width, false);
    return quint64(Value(field));
}

double SegyBinaryHeader::DoubleValue(const SegyField& field) const
{
    if (field.type != SegyFieldType::Float64 || !Inside(field, 3201, 3600))
        return double(Value(field));
    const uint64_t bits = LoadField(bytes + (field.byte - 3201), 8, false);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

qint64 SegyBinaryHeader::Value(const char* name) const
{
    const SegyField* field = FindSegyBinaryField(QLatin1String(name));
    return field ? Value(*field) : 0;
}

void SegyBinaryHeader::SetValue(const SegyField& field, qint64 value)
{
    if (!Inside(field, 3201, 3600))
        return;
    StoreField(bytes + (field.byte - 3201), field.width, uint64_t(value));
}

void SegyBinaryHeader::SetDoubleValue(const SegyField& field, double value)
{
    if (field.width != 8 || !Inside(field, 3201, 3600))
        return;
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    StoreField(bytes + (field.byte - 3201), 8, bits);
}

bool SegyBinaryHeader::SetValue(const char* name, qint64 value)
{
    const SegyField* field = FindSegyBinaryField(QLatin1String(name));
    if (field)
        SetValue(*field, value);
    return field != nullptr;
}

SegyTraceHeader::SegyTraceHeader()
{
    std::memset(bytes, 0, sizeof bytes);
}

qint64 SegyTraceHeader::Value(const SegyField& field) const
{
    if (!Inside(field, 1, 240))
        return 0;
    return FieldValue(bytes + (field.byte - 1), field.width, field.type, false);
}

qint64 SegyTraceHeader::Value(const char* name) const
{
    const SegyField* field = FindSegyTraceField(QLatin1String(name));
    return field ? Value(*field) : 0;
}

void SegyTraceHeader::SetValue(const SegyField& field, qint64 value)
{
    if (!Inside(field, 1, 240))
        return;
    StoreField(bytes + (field.byte - 1), field.width, uint64_t(value));
}

bool SegyTraceHeader::SetValue(const char* name, qint64 value)
{
    const SegyField* field = FindSegyTraceField(QLatin1String(name));
    if (field)
        SetValue(*field, value);
    return field != nullptr;
}

bool IsEbcdicPrintable(unsigned char byte)
{
    char c = static_cast<char>(byte);
    EbcdicToAscii(&c, 1);
    return c != '.' || byte == 0x4B;
}

// EBCDIC or ASCII, from the bytes: whichever reads as more printable characters. A header of
// nothing but EBCDIC blanks (0x40) reads as '@' in ASCII, so ties go by the blank's code.
SegyTextEncoding DetectEncoding(const unsigned char* text, int length)
{
    qint64 ascii = 0, ebcdic = 0, asciiBlanks = 0, ebcdicBlanks = 0;
    for (qint64 i = 0; i < length; ++i) {
        const unsigned char b = text[i];
        ascii += (b >= 0x20 && b <= 0x7E) || b == 0 || b == '\n' || b == '\r';
        ebcdic += IsEbcdicPrintable(b) || b == 0;
        asciiBlanks += b == 0x20;
        ebcdicBlanks += b == 0x40;
    }
    if (ascii != ebcdic)
        return ascii > ebcdic ? SegyTextEncoding::Ascii : SegyTextEncoding::Ebcdic;
    return ebcdicBlanks > asciiBlanks ? SegyTextEncoding::Ebcdic : SegyTextEncoding::Ascii;
}

// 3200 bytes as 40 lines of 80 characters. In ASCII, NUL padding reads as blanks and other
// unprintable bytes as '.', as the EBCDIC table shows them.
QStringList DecodeText(const unsigned char* text, SegyTextEncoding encoding)
{
    QByteArray bytes(reinterpret_cast<const char*>(text), int(3200));
    if (encoding == SegyTextEncoding::Ebcdic) {
        EbcdicToAscii(bytes.data(), bytes.size());
    } else {
        for (char& c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            if (b == 0)
                c = ' ';
            else if (b < 0x20 || b > 0x7E)
                c = '.';
        }
    }
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QString::fromLatin1(bytes.constData() + i * 80, 80);
    return lines;
}

// The end stanza of variable extended headers: "((SEG: EndText))", ignoring case and blanks.
bool IsEndStanza(const unsigned char* record)
{
    const QString first = DecodeText(record, DetectEncoding(record, 3200)).first();
    QString squeezed;
    for (QChar c : first) {
        if (c != QLatin1Char(' '))
            squeezed += c.toLower();
    }
    return squeezed.startsWith(QLatin1String("((seg:endtext))"));
}
