#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstring>

class QByteArray;
class QString;

/// Standard output through one block buffer. Numbers are formatted straight into the buffer, so
/// that long listings cost no allocation per value. When the reader goes away (a closed pipe)
/// the output stops quietly: Ok() turns false and the commands end their loops.
class ToolOutput {
public:
    ToolOutput() = default;
    ToolOutput(const ToolOutput&) = delete;
    ToolOutput& operator=(const ToolOutput&) = delete;

    void Put(char c)
    {
        if (used == kSize)
            Drain();
        buffer[used++] = c;
    }
    void Put(const char* text, size_t length)
    {
        if (length > kSize - used)
            Drain();
        if (length > kSize) {
            WriteDirect(text, length);
            return;
        }
        std::memcpy(buffer + used, text, length);
        used += length;
    }
    void Put(const char* text) { Put(text, std::strlen(text)); }
    void Put(const QByteArray& bytes);
    /// The text in UTF-8.
    void Put(const QString& text);
    void PutInteger(qint64 value);
    void PutUnsigned(quint64 value);
    /// The shortest text that reads back (strtof) as the same float; inf, -inf, nan, -nan.
    void PutFloat(float value);
    /// The shortest text that reads back (strtod) as the same double.
    void PutDouble(double value);
    /// `text` padded with blanks to `width` characters, on the left when `right`.
    void PutPadded(const QByteArray& text, int width, bool right);
    void PutSpaces(int count);

    /// False once standard output takes no more: the reader has gone, or a write failed.
    bool Ok() const { return error == 0; }
    /// Hands everything buffered to the stream and flushes it.
    void Flush();
    /// Flushes; returns 0 when all was written or the reader went away, else reports the error
    /// and returns 1.
    int Finish();

private:
    static constexpr size_t kSize = size_t(1) << 16;
    // Room every number needs at most ("-1.17549435e-38", a 20-digit integer).
    static constexpr size_t kNumberRoom = 32;

    char* Reserve(size_t length)
    {
        if (length > kSize - used)
            Drain();
        return buffer + used;
    }
    void Drain();
    void WriteDirect(const char* text, size_t length);

    char buffer[kSize];
    size_t used = 0;
    int error = 0;
};

/// Standard output of the tool.
ToolOutput& Out();

/// Writes "orv-segy: MESSAGE" on standard error, after what standard output holds so far.
void ReportError(const QString& message);

/// The shortest text that reads back as `value`.
QByteArray DoubleText(double value);

/// `text` as a JSON string, quotes included.
QByteArray JsonString(const QString& text);
