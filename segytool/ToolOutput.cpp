#include "ToolOutput.h"

#include <QByteArray>
#include <QString>

#include <cerrno>
#include <charconv>
#include <cstdio>

void ToolOutput::Put(const QByteArray& bytes)
{
    Put(bytes.constData(), size_t(bytes.size()));
}

void ToolOutput::Put(const QString& text)
{
    Put(text.toUtf8());
}

void ToolOutput::PutInteger(qint64 value)
{
    char* begin = Reserve(kNumberRoom);
    used += size_t(std::to_chars(begin, begin + kNumberRoom, value).ptr - begin);
}

void ToolOutput::PutUnsigned(quint64 value)
{
    char* begin = Reserve(kNumberRoom);
    used += size_t(std::to_chars(begin, begin + kNumberRoom, value).ptr - begin);
}

void ToolOutput::PutFloat(float value)
{
    char* begin = Reserve(kNumberRoom);
    used += size_t(std::to_chars(begin, begin + kNumberRoom, value).ptr - begin);
}

void ToolOutput::PutDouble(double value)
{
    char* begin = Reserve(kNumberRoom);
    used += size_t(std::to_chars(begin, begin + kNumberRoom, value).ptr - begin);
}

void ToolOutput::PutPadded(const QByteArray& text, int width, bool right)
{
    const int pad = width - text.size();
    if (right)
        PutSpaces(pad);
    Put(text);
    if (!right)
        PutSpaces(pad);
}

void ToolOutput::PutSpaces(int count)
{
    for (int i = 0; i < count; ++i)
        Put(' ');
}

void ToolOutput::Drain()
{
    if (used > 0)
        WriteDirect(buffer, used);
    used = 0;
}

void ToolOutput::WriteDirect(const char* text, size_t length)
{
    if (error != 0)
        return;
    if (std::fwrite(text, 1, length, stdout) != length || std::ferror(stdout))
        error = errno != 0 ? errno : EIO;
}

void ToolOutput::Flush()
{
    Drain();
    if (error == 0 && std::fflush(stdout) != 0)
        error = errno != 0 ? errno : EIO;
}

int ToolOutput::Finish()
{
    Flush();
    if (error == 0 || error == EPIPE)
        return 0;
    ReportError(
        QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(error))));
    return 1;
}

ToolOutput& Out()
{
    static ToolOutput output;
    return output;
}

void ReportError(const QString& message)
{
    Out().Flush();
    const QByteArray line = "orv-segy: " + message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

QByteArray DoubleText(double value)
{
    char text[32];
    return QByteArray(text, int(std::to_chars(text, text + sizeof text, value).ptr - text));
}

QByteArray JsonString(const QString& text)
{
    QByteArray json = "\"";
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\t') {
            json += "\\t";
        } else if (byte < 0x20) {
            json += "\\u00" + QByteArray::number(byte, 16).rightJustified(2, '0');
        } else {
            json += c;
        }
    }
    return json + '"';
}
