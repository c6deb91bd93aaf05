#include "strokereference.h"
#include "moviebuilder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

QImage referenceStrokes(const QString &dataDir, const QString &character, int onlyStroke)
{
    QFile file(dataDir + QLatin1Char('/') + character + QStringLiteral(".json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no data for the reference");
    const QJsonArray strokes =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("strokes")).toArray();
    // The data's y points up from -124 to 900.
    QString svg = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 1024 1024'>"
                                 "<g transform='scale(1,-1) translate(0,-900)'>");
    for (int i = 0; i < strokes.size(); ++i) {
        if (onlyStroke < 0 || onlyStroke == i)
            svg += QStringLiteral("<path fill='black' d='%1'/>").arg(strokes[i].toString());
    }
    svg += QStringLiteral("</g></svg>");
    QSvgRenderer renderer(svg.toUtf8());
    QImage image(MovieLayout::Stage, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, MovieLayout::Grid);
    return image;
}

QList<QPoint> gridPixelsWhere(const QImage &image, bool (*test)(const QColor &), const QRect &area)
{
    QList<QPoint> found;
    const QRect grid = area.isNull() ? MovieLayout::Grid.toRect() : area;
    for (int y = grid.top(); y <= grid.bottom(); ++y) {
        for (int x = grid.left(); x <= grid.right(); ++x) {
            if (test(image.pixelColor(x, y)))
                found.append(QPoint(x, y));
        }
    }
    return found;
}

bool isInk(const QColor &colour)
{
    return colour.lightness() < 128;
}

bool isWriting(const QColor &colour)
{
    return colour.red() > 150 && colour.green() < 120 && colour.blue() < 120;
}

double intersectionOverUnion(const QList<QPoint> &a, const QList<QPoint> &b)
{
    const QSet<QPoint> setA(a.begin(), a.end());
    const QSet<QPoint> setB(b.begin(), b.end());
    const qsizetype both = QSet<QPoint>(setA).intersect(setB).size();
    return double(both) / double(QSet<QPoint>(setA).unite(setB).size());
}
