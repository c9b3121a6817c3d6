#include "ccolors.h"

CColors::CColors(QObject *parent)
    : QObject(parent)
{
    QVector<QColor> base;
    baseColors(base);
    extendColors(base, 40);
}

void CColors::baseColors(QVector<QColor> &list)
{
    list << QColor(0, 0, 0) << QColor(255, 0, 0) << QColor(0, 0, 255) << QColor(120, 220, 120)
         << QColor(200, 200, 0) << QColor(240, 0, 240) << QColor(0, 240, 240) << QColor(160, 0, 0)
         << QColor(0, 160, 0) << QColor(0, 0, 160) << QColor(255, 160, 160) << QColor(160, 160, 160)
         << QColor(120, 220, 120) << QColor(160, 160, 255) << QColor(240, 160, 0);
}

int CColors::blendComponent(int current, int partner)
{
    if (partner >= current)
        return partner;
    return (partner + 2 * current) / 3;
}

QColor CColors::blend(const QColor &current, const QColor &partner)
{
    int r = blendComponent(current.red(), partner.red());
    int g = blendComponent(current.green(), partner.green());
    int b = blendComponent(current.blue(), partner.blue());
    // Blends of bright neighbours come out too pale to see on the white plot.
    if (r + g + b > 500) {
        r = static_cast<int>(r * 0.8);
        g = static_cast<int>(g * 0.6);
        b = static_cast<int>(b * 0.8);
    }
    return QColor(r, g, b);
}

void CColors::extendColors(const QVector<QColor> &base, int count)
{
    colors << base;
    // Blending an empty list would never add a colour.
    if (colors.isEmpty())
        return;
    for (;;) {
        const int passSize = colors.size();
        if (count <= passSize)
            return;
        for (int i = 0; i < passSize; ++i) {
            const int partner = (i + 1 == passSize) ? 0 : i + 1;
            colors << blend(colors.at(i), colors.at(partner));
            if (colors.size() >= count)
                return;
        }
    }
}
