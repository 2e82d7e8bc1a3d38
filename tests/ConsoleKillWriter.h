#pragma once

// The messages console_kill_writer sends before it kills itself: message i
// is "line <i, six digits> " padded to `length` characters with one letter,
// sent as a plain message, an error or a warning in turn.

#include <QString>

enum class KillWriterKind { Plain, Error, Warning };

inline KillWriterKind KillWriterKindOf(int i)
{
    return static_cast<KillWriterKind>(i % 3);
}

inline QString KillWriterText(int i, int length)
{
    QString text = QStringLiteral("line %1 ").arg(i, 6, 10, QLatin1Char('0'));
    if (text.size() < length)
        text += QString(length - text.size(), QLatin1Char('a' + i % 26));
    return text;
}
