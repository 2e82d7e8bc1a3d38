#include "LpColorMap.h"

#include <algorithm>
#include <cmath>

namespace {

// Viridis at ten even steps from 0 to 1; the table interpolates linearly between them.
constexpr QRgb kViridis[] = {0x440154, 0x482878, 0x3E4A89, 0x31688E, 0x26828E, 0x1F9E89, 0x35B779,
    0x6DCD59, 0xB4DE2C, 0xFDE725};

int Round(double v)
{
    return int(std::lround(v));
}

} // namespace

LpColorTable LpMakeColorTable(LpColorMapKind kind)
{
    LpColorTable table{};
    for (int k = 0; k < 256; ++k) {
        switch (kind) {
        case LpColorMapKind::Grey:
            table[k] = qRgb(k, k, k);
            break;
        case LpColorMapKind::RedWhiteBlue:
            if (k < 128) {
                const int w = Round(255.0 * k / 127.5);
                table[k] = qRgb(255, w, w);
            } else {
                const int w = Round(255.0 * (255 - k) / 127.5);
                table[k] = qRgb(w, w, 255);
            }
            break;
        case LpColorMapKind::Viridis: {
            const double pos = k / 255.0 * 9.0;
            const int i = std::min(int(pos), 8);
            const double f = pos - i;
            const QRgb a = kViridis[i];
            const QRgb b = kViridis[i + 1];
            table[k] = qRgb(Round(qRed(a) + f * (qRed(b) - qRed(a))),
                Round(qGreen(a) + f * (qGreen(b) - qGreen(a))),
                Round(qBlue(a) + f * (qBlue(b) - qBlue(a))));
            break;
        }
        }
    }
    return table;
}

QString LpColorMapName(LpColorMapKind kind)
{
    switch (kind) {
    case LpColorMapKind::Grey:
        return QStringLiteral("grey");
    case LpColorMapKind::RedWhiteBlue:
        return QStringLiteral("red-white-blue");
    case LpColorMapKind::Viridis:
        return QStringLiteral("viridis");
    }
    return {};
}

bool LpColorMapFromName(const QString& name, LpColorMapKind* kind)
{
    for (LpColorMapKind k :
        {LpColorMapKind::Grey, LpColorMapKind::RedWhiteBlue, LpColorMapKind::Viridis}) {
        if (name == LpColorMapName(k)) {
            *kind = k;
            return true;
        }
    }
    return false;
}
