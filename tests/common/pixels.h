// Counting the pixels of a picture, for tests that look at what was drawn.
#ifndef PIXELS_H
#define PIXELS_H

#include <QColor>
#include <QHash>
#include <QImage>

namespace testutil {

// How many pixels of each colour the picture has, by their RGB value.
inline QHash<QRgb, int> colourCounts(const QImage &image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixelColor(x, y).rgb()];
    return counts;
}

// How many pixels have exactly the given colour (alpha included).
inline int countColour(const QImage &image, const QColor &colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

} // namespace testutil

#endif
