#include "ToolCommands.h"

#include "SegyFile.h"
#include "ToolOutput.h"
#include "ToolProgress.h"
#include "TraceRange.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QVector>

#include <algorithm>
#include <charconv>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

// Traces whose header fields are read per library call.
constexpr qint64 kChunkTraces = 16384;

// The trace header fields `headers` shows unless told otherwise: sequence numbers, CDP,
// offset, sample count, CDP coordinates, inline and crossline.
constexpr int kDefaultTraceFieldBytes[] = {1, 9, 13, 21, 37, 115, 181, 185, 189, 193};

std::unique_ptr<SegyFile> OpenFile(const QString& path, bool reportWarnings)
{
    QString error;
    std::unique_ptr<SegyFile> file = SegyFile::Open(path, &error);
    if (!file) {
        ReportError(error);
        return nullptr;
    }
    if (reportWarnings)
        ReportWarnings(*file);
    return file;
}

const char* ByteOrderName(SegyByteOrder order)
{
    return order == SegyByteOrder::Little ? "little" : "big";
}

const char* EncodingName(SegyTextEncoding encoding)
{
    return encoding == SegyTextEncoding::Ascii ? "ascii" : "ebcdic";
}

QByteArray RevisionText(const SegyFile& file)
{
    return QByteArray::number(file.Revision()) + '.' + QByteArray::number(file.MinorRevision());
}

// ---- info

QList<QCommandLineOption> InfoOptions()
{
    return {{QStringLiteral("json"), QStringLiteral("One JSON object per file.")}};
}

void PutInfoLine(const char* label, const QByteArray& value)
{
    Out().PutPadded(label, 26, false);
    Out().Put(value);
    Out().Put('\n');
}

void PutInfoText(const SegyFile& file)
{
    const SegyFormat& format = file.Format();
    PutInfoLine("file", file.FileName().toUtf8());
    PutInfoLine("revision", RevisionText(file));
    PutInfoLine("byte order", ByteOrderName(file.ByteOrder()));
    PutInfoLine("text encoding", EncodingName(file.TextEncoding()));
    PutInfoLine("sample format",
        QByteArray::number(format.code) + ' ' + format.name + " (" + format.title + ')');
    PutInfoLine("samples per trace", QByteArray::number(file.SamplesPerTrace()));
    PutInfoLine("sample interval", DoubleText(file.SampleInterval()));
    PutInfoLine("traces", QByteArray::number(file.TraceCount()));
    PutInfoLine("extended text headers", QByteArray::number(file.ExtendedTextHeaderCount()));
    PutInfoLine("additional trace headers", QByteArray::number(file.AdditionalTraceHeaders()));
    PutInfoLine("trace length", file.IsFixedLength() ? "fixed" : "variable");
    for (const QString& warning : file.Warnings())
        PutInfoLine("warning", WithoutPath(warning, file.FileName()).toUtf8());
}

void PutInfoJson(const SegyFile& file, const QByteArray& indent)
{
    const QByteArray in = indent + "  ";
    const double interval = file.SampleInterval();
    QByteArray warnings;
    for (const QString& warning : file.Warnings()) {
        warnings += warnings.isEmpty() ? "\n" : ",\n";
        warnings += in + "  " + JsonString(WithoutPath(warning, file.FileName()));
    }
    if (!warnings.isEmpty())
        warnings += '\n' + in;
    QByteArray json = indent + "{\n";
    json += in + "\"file\": " + JsonString(file.FileName()) + ",\n";
    json += in + "\"revision\": \"" + RevisionText(file) + "\",\n";
    json += in + "\"byteOrder\": \"" + ByteOrderName(file.ByteOrder()) + "\",\n";
    json += in + "\"textEncoding\": \"" + EncodingName(file.TextEncoding()) + "\",\n";
    json += in + "\"format\": " + QByteArray::number(file.Format().code) + ",\n";
    json += in + "\"samples\": " + QByteArray::number(file.SamplesPerTrace()) + ",\n";
    json += in + "\"interval\": "
        + (qIsFinite(interval) ? DoubleText(interval) : QByteArray("null")) + ",\n";
    json += in + "\"traces\": " + QByteArray::number(file.TraceCount()) + ",\n";
    json += in + "\"extendedTextHeaders\": " + QByteArray::number(file.ExtendedTextHeaderCount())
        + ",\n";
    json += in + "\"additionalTraceHeaders\": " + QByteArray::number(file.AdditionalTraceHeaders())
        + ",\n";
    json += in + "\"fixedLength\": " + (file.IsFixedLength() ? "true" : "false") + ",\n";
    json += in + "\"warnings\": [" + warnings + "]\n";
    json += indent + '}';
    Out().Put(json);
}

int RunInfo(const QCommandLineParser& parser, const QStringList& files)
{
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool array = json && files.size() > 1;
    int status = kExitOk;
    int shown = 0;
    if (array)
        Out().Put("[\n");
    for (const QString& path : files) {
        const std::unique_ptr<SegyFile> file = OpenFile(path, false);
        if (!file) {
            status = kExitFailed;
            continue;
        }
        if (json) {
            if (shown > 0 && array)
                Out().Put(",\n");
            PutInfoJson(*file, array ? "  " : "");
            if (!array)
                Out().Put('\n');
        } else {
            if (shown > 0)
                Out().Put('\n');
            PutInfoText(*file);
        }
        ++shown;
        if (!Out().Ok())
            break;
    }
    if (array)
        Out().Put(shown > 0 ? "\n]\n" : "]\n");
    return status;
}

// ---- text

void PutCards(const QStringList& lines)
{
    for (const QString& line : lines) {
        int end = line.size();
        while (end > 0 && line.at(end - 1).isSpace())
            --end;
        Out().Put(line.left(end));
        Out().Put('\n');
    }
}

int RunText(const QCommandLineParser&, const QStringList& files)
{
    const std::unique_ptr<SegyFile> file = OpenFile(files[0], true);
    if (!file)
        return kExitFailed;
    PutCards(file->TextHeader());
    for (int i = 0; i < file->ExtendedTextHeaderCount() && Out().Ok(); ++i)
        PutCards(file->ExtendedTextHeader(i));
    return kExitOk;
}

// ---- bin

QList<QCommandLineOption> BinOptions()
{
    return {{QStringLiteral("all"), QStringLiteral("Also the fields that are zero.")}};
}

int RunBin(const QCommandLineParser& parser, const QStringList& files)
{
    const std::unique_ptr<SegyFile> file = OpenFile(files[0], true);
    if (!file)
        return kExitFailed;
    const bool all = parser.isSet(QStringLiteral("all"));
    const SegyBinaryHeader& header = file->BinaryHeader();
    int count = 0;
    const SegyField* fields = SegyBinaryFields(&count);
    struct Row {
        const SegyField* field;
        QByteArray value;
    };
    QVector<Row> rows;
    int nameWidth = 0;
    for (int i = 0; i < count; ++i) {
        const SegyField& field = fields[i];
        QByteArray value;
        bool zero = false;
        if (field.type == SegyFieldType::Float64) {
            const double number = header.DoubleValue(field);
            zero = number == 0;
            value = DoubleText(number);
        } else if (field.type == SegyFieldType::UInt64) {
            const quint64 number = header.UnsignedValue(field);
            zero = number == 0;
            value = QByteArray::number(number);
        } else {
            const qint64 number = header.Value(field);
            zero = number == 0;
            value = QByteArray::number(number);
        }
        if (zero && !all)
            continue;
        rows.append({&field, value});
        nameWidth = std::max(nameWidth, int(qstrlen(field.name)));
    }
    for (const Row& row : rows) {
        Out().PutPadded(QByteArray::number(row.field->byte), 4, true);
        Out().Put("  ");
        Out().PutPadded(row.field->name, nameWidth, false);
        Out().Put("  ");
        Out().Put(row.value);
        Out().Put('\n');
    }
    return kExitOk;
}

// ---- headers and samples

QCommandLineOption TracesOption()
{
    return {QStringLiteral("traces"),
        QStringLiteral("Only the traces of RANGE: N, A:B or A:B:STEP, counted from 0, B excluded, "
                       "negative values from the end."),
        QStringLiteral("RANGE")};
}

QList<QCommandLineOption> SamplesOptions()
{
    return {TracesOption()};
}

// The traces the --traces option selects; false after reporting why not. A bad option is a
// usage error (kExitUsage in `*status`), an index the file lacks a failure with the file.
bool SelectTraces(const QCommandLineParser& parser, const ToolCommand* command,
    const SegyFile& file, TraceRange* range, int* status)
{
    TraceSelection selection;
    QString error;
    if (parser.isSet(QStringLiteral("traces"))
        && !ParseTraceSelection(parser.value(QStringLiteral("traces")), &selection, &error)) {
        *status = ReportUsageError(command, error);
        return false;
    }
    if (!ResolveTraceSelection(selection, file.TraceCount(), range, &error)) {
        ReportError(file.FileName() + QStringLiteral(": ") + error);
        *status = kExitFailed;
        return false;
    }
    return true;
}

QList<QCommandLineOption> HeadersOptions()
{
    return {{QStringLiteral("fields"),
                QStringLiteral(
                    "Trace header fields to show, separated by commas: names, byte positions "
                    "(189) or BYTE:WIDTH (BYTE:WIDTHu unsigned)."),
                QStringLiteral("LIST")},
        TracesOption(),
        {QStringLiteral("csv"),
            QStringLiteral("Comma-separated values with a header row instead of a table.")}};
}

struct Column {
    SegyField field;
    QByteArray title;
};

// The columns --fields asks for; false after reporting a field that does not exist.
bool ParseColumns(const QCommandLineParser& parser, QVector<Column>* columns)
{
    if (!parser.isSet(QStringLiteral("fields"))) {
        for (const int byte : kDefaultTraceFieldBytes) {
            if (const SegyField* field = FindSegyTraceField(byte))
                columns->append({*field, field->name});
        }
        return true;
    }
    const QStringList names = parser.value(QStringLiteral("fields")).split(QLatin1Char(','));
    for (QString name : names) {
        name = name.trimmed();
        SegyField field;
        if (!ParseSegyTraceField(name, &field)) {
            ReportUsageError(FindToolCommand(QStringLiteral("headers")),
                QStringLiteral("unknown trace header field '%1'").arg(name));
            return false;
        }
        // A field of the table goes by its name, BYTE:WIDTH by what was typed.
        const bool typed = name.contains(QLatin1Char(':'));
        columns->append({field, typed ? name.toUtf8() : QByteArray(field.name)});
    }
    return true;
}

// Fields of traces range.At(first) ... range.At(first + count - 1), column by column into
// values[column * count + i].
bool ReadColumns(const SegyFile& file, const QVector<Column>& columns, const TraceRange& range,
    qint64 first, qint64 count, std::vector<qint64>* values)
{
    values->resize(size_t(columns.size() * count));
    QString error;
    for (int c = 0; c < columns.size(); ++c) {
        qint64* dst = values->data() + c * count;
        const SegyField& field = columns[c].field;
        bool ok = true;
        if (range.step == 1 || range.step == -1) {
            const qint64 lowest = range.step == 1 ? range.At(first) : range.At(first + count - 1);
            ok = file.ReadTraceFieldColumn(field, lowest, count, dst, &error);
            if (ok && range.step == -1)
                std::reverse(dst, dst + count);
        } else {
            for (qint64 i = 0; i < count && ok; ++i)
                ok = file.ReadTraceField(range.At(first + i), field, dst + i, &error);
        }
        if (!ok) {
            ReportError(error);
            return false;
        }
    }
    return true;
}

void PutFieldValue(const SegyField& field, qint64 value)
{
    if (field.type == SegyFieldType::UInt64)
        Out().PutUnsigned(quint64(value));
    else
        Out().PutInteger(value);
}

int DecimalWidth(const SegyField& field, qint64 value)
{
    char text[32];
    const auto end = field.type == SegyFieldType::UInt64
        ? std::to_chars(text, text + sizeof text, quint64(value)).ptr
        : std::to_chars(text, text + sizeof text, value).ptr;
    return int(end - text);
}

int RunHeaders(const QCommandLineParser& parser, const QStringList& files)
{
    const ToolCommand* command = FindToolCommand(QStringLiteral("headers"));
    QVector<Column> columns;
    if (!ParseColumns(parser, &columns))
        return kExitUsage;
    const std::unique_ptr<SegyFile> file = OpenFile(files[0], true);
    if (!file)
        return kExitFailed;
    TraceRange range;
    int status = kExitOk;
    if (!SelectTraces(parser, command, *file, &range, &status))
        return status;
    const bool csv = parser.isSet(QStringLiteral("csv"));
    std::vector<qint64> values;

    // A table's columns are as wide as their widest value: a first pass finds it.
    QVector<int> widths;
    const qint64 lastTrace = range.count > 0 ? std::max(range.At(0), range.At(range.count - 1)) : 0;
    widths.append(std::max(5, int(QByteArray::number(lastTrace).size())));
    for (const Column& column : columns)
        widths.append(column.title.size());
    for (qint64 first = 0; !csv && first < range.count; first += kChunkTraces) {
        const qint64 count = std::min(kChunkTraces, range.count - first);
        if (!ReadColumns(*file, columns, range, first, count, &values))
            return kExitFailed;
        for (int c = 0; c < columns.size(); ++c) {
            for (qint64 i = 0; i < count; ++i)
                widths[c + 1] = std::max(
                    widths[c + 1], DecimalWidth(columns[c].field, values[size_t(c * count + i)]));
        }
    }

    const char* separator = csv ? "," : "  ";
    if (csv)
        Out().Put("trace");
    else
        Out().PutPadded("trace", widths[0], true);
    for (int c = 0; c < columns.size(); ++c) {
        Out().Put(separator);
        if (csv)
            Out().Put(columns[c].title);
        else
            Out().PutPadded(columns[c].title, widths[c + 1], true);
    }
    Out().Put('\n');

    for (qint64 first = 0; first < range.count && Out().Ok(); first += kChunkTraces) {
        const qint64 count = std::min(kChunkTraces, range.count - first);
        if (!ReadColumns(*file, columns, range, first, count, &values))
            return kExitFailed;
        for (qint64 i = 0; i < count; ++i) {
            if (csv) {
                Out().PutInteger(range.At(first + i));
            } else {
                Out().PutPadded(QByteArray::number(range.At(first + i)), widths[0], true);
            }
            for (int c = 0; c < columns.size(); ++c) {
                const qint64 value = values[size_t(c * count + i)];
                if (csv)
                    Out().Put(',');
                else
                    Out().PutSpaces(2 + widths[c + 1] - DecimalWidth(columns[c].field, value));
                PutFieldValue(columns[c].field, value);
            }
            Out().Put('\n');
        }
    }
    return kExitOk;
}

int RunSamples(const QCommandLineParser& parser, const QStringList& files)
{
    const std::unique_ptr<SegyFile> file = OpenFile(files[0], true);
    if (!file)
        return kExitFailed;
    TraceRange range;
    int status = kExitOk;
    if (!SelectTraces(parser, FindToolCommand(QStringLiteral("samples")), *file, &range, &status))
        return status;
    std::vector<float> samples;
    QString error;
    for (qint64 i = 0; i < range.count && Out().Ok(); ++i) {
        const qint64 trace = range.At(i);
        samples.resize(size_t(std::max(file->SampleCount(trace), 0)));
        if (!file->ReadSamples(trace, samples.data(), &error)) {
            ReportError(error);
            return kExitFailed;
        }
        for (size_t s = 0; s < samples.size(); ++s) {
            if (s > 0)
                Out().Put(' ');
            Out().PutFloat(samples[s]);
        }
        Out().Put('\n');
    }
    return kExitOk;
}

const ToolCommand kCommands[] = {
    {"info", "[--json] FILE...", "Shows the layout of each file.",
        "Shows the layout of each file: revision, byte order, text encoding, sample format, "
        "samples per trace, sample interval, trace count, extended textual headers, additional "
        "trace headers, fixed or variable trace length, and any warning.",
        1, -1, InfoOptions, RunInfo},
    {"text", "FILE", "Shows the textual headers.",
        "Shows the textual file header and each extended textual header, decoded, one line per "
        "card.",
        1, 1, nullptr, RunText},
    {"bin", "[--all] FILE", "Shows the binary file header.",
        "Shows the binary file header fields that are not zero: byte position, name and value.", 1,
        1, BinOptions, RunBin},
    {"headers", "[--fields LIST] [--traces RANGE] [--csv] FILE", "Shows trace header fields.",
        "Shows trace header fields, one row per trace, the trace number first.", 1, 1,
        HeadersOptions, RunHeaders},
    {"samples", "[--traces RANGE] FILE", "Shows the samples.",
        "Shows the samples, one line per trace, each as the shortest text that reads back as the "
        "same float.",
        1, 1, SamplesOptions, RunSamples},
    {"check", "[--json] FILE...", "Checks each file for common faults.",
        "Reads each file once and reports what looks wrong or worth knowing, one line per "
        "finding: its severity (error, warning, note), what was found, the first traces "
        "concerned and a code. Exit status 0 when every file could be read, whatever was found.",
        1, -1, CheckOptions, RunCheck},
    {"convert", "[--format CODE] [--endian big|little] IN OUT",
        "Converts a file to another sample format or byte order.",
        "Writes a copy of IN to OUT with the samples in another format or byte order, headers "
        "carried over.",
        2, 2, ConvertOptions, RunConvert},
    {"geometry", "[--json] [--inline-field F] [--crossline-field F] [--offset-field F] FILE...",
        "Shows the survey grid of each file.",
        "Shows the survey grid of each file: its kind (cube, prestack, line or unstructured), "
        "trace order, inline, crossline and CDP ranges, offsets, bins, missing and duplicate "
        "traces, the map from grid to coordinates, and any warning.",
        1, -1, GeometryOptions, RunGeometry},
    {"slice",
        "(--inline N | --crossline N | --sample K | --time T | --gather IL,XL) [--offset O] "
        "[--csv] FILE",
        "Shows an inline, crossline, time slice or gather.",
        "Shows one slice of the survey: one row per trace position in ascending order (crossline "
        "numbers of an inline, inline numbers of a crossline or time slice, offsets of a "
        "gather), the number first, then the values as `samples` writes them, nan where no "
        "trace is. The key field options are those of `geometry`.",
        1, 1, SliceOptions, RunSlice},
    {"export", "[--chunks LIST] [--compression lz4|zstd|none] [--level N] FILE STORE",
        "Writes a file as a chunked Zarr store.",
        "Writes FILE as the Zarr (version 2) store STORE, a folder that xarray opens: the samples "
        "as a float32 array over the survey's inlines, crosslines (offsets) or CDPs, chunked and "
        "compressed with Blosc, with the live mask, coordinates and every header.",
        2, 2, ExportOptions, RunExport},
    {"import", "[--format CODE] [--endian big|little] STORE FILE",
        "Writes a SEG-Y file from a Zarr store.",
        "Writes the SEG-Y file FILE from a store that export wrote: every header and trace as "
        "exported, missing positions left out.",
        2, 2, ImportOptions, RunImport},
};

} // namespace

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa = {};
    struct stat sb = {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0
        || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int FailureStatus()
{
    return StopSignal() != 0 ? 128 + StopSignal() : int(kExitFailed);
}

QString WithoutPath(const QString& message, const QString& path)
{
    const QString prefix = path + QStringLiteral(": ");
    return message.startsWith(prefix) ? message.mid(prefix.size()) : message;
}

void ReportWarnings(const SegyFile& file)
{
    for (const QString& warning : file.Warnings()) {
        ReportError(file.FileName() + QStringLiteral(": warning: ")
            + WithoutPath(warning, file.FileName()));
    }
}

const ToolCommand* ToolCommands(int* count)
{
    *count = int(std::size(kCommands));
    return kCommands;
}

const ToolCommand* FindToolCommand(const QString& name)
{
    for (const ToolCommand& command : kCommands) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}
