#ifndef CCOLORS_H
#define CCOLORS_H

#include <QColor>
#include <QObject>
#include <QVector>

// The fixed palette from which each plotted job gets its curve colour.
class CColors : public QObject
{
    Q_OBJECT
public:
    explicit CColors(QObject *parent = nullptr);

    int count() const { return colors.size(); }
    QColor color(int index) const { return colors.value(index); }

    static void baseColors(QVector<QColor> &list);
    void extendColors(const QVector<QColor> &base, int count);

    static int blendComponent(int current, int partner);
    static QColor blend(const QColor &current, const QColor &partner);

    QVector<QColor> colors;
};

#endif
