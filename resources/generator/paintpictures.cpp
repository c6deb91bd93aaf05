// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the button pictures and turns the hand-drawn icons into PNG files:
//     zorvina-paint-pictures <resources folder>
// The PNG files are committed; run this only after changing a picture.
// The build also makes the icon theme's sizes from the same drawings:
//     zorvina-paint-pictures --theme <resources folder> <output folder> <icon name>
// writes <output folder>/<n>x<n>/apps/<icon name>.png.
#include <QDir>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTextStream>
#include <QVector>

namespace {

const QSize buttonSize(98, 48);
const int buttonColours = 32;
const int iconColours = 16;
const int stripeWidth = 6;
// The outer edge of the sunken frame; its bevel is two pixels deep.
const QRect frame(5, 5, 88, 38);
const int bevel = 2;
// Edge smoothing is rounded to this many steps towards black, which keeps
// the pictures within their colour budget.
const int smoothingSteps = 4;

// Blue, grey, teal: strong outside the frame, pale inside so the black
// symbol stands out.
const QRgb outerStripes[] = {qRgb(61, 115, 201), qRgb(142, 152, 166), qRgb(37, 160, 145)};
const QRgb innerStripes[] = {qRgb(180, 205, 242), qRgb(221, 226, 232), qRgb(174, 227, 220)};
// Outer line first. Shadow on the top and left edges makes the frame look sunken.
const QRgb shadows[] = {qRgb(75, 83, 97), qRgb(38, 43, 51)};
const QRgb lights[] = {qRgb(255, 255, 255), qRgb(201, 209, 219)};

QRgb stripe(const QRgb (&colours)[3], int x, int y)
{
    return colours[(x + y) / stripeWidth % 3];
}

void drawBevelLine(QImage &image, const QRect &edge, QRgb shadow, QRgb light)
{
    for (int x = edge.left(); x <= edge.right(); ++x)
        image.setPixel(x, edge.top(), shadow);
    for (int y = edge.top(); y <= edge.bottom(); ++y)
        image.setPixel(edge.left(), y, shadow);
    for (int x = edge.left(); x <= edge.right(); ++x)
        image.setPixel(x, edge.bottom(), light);
    for (int y = edge.top(); y <= edge.bottom(); ++y)
        image.setPixel(edge.right(), y, light);
}

QImage background()
{
    QImage image(buttonSize, QImage::Format_RGB32);
    const QRect inside = frame.adjusted(bevel, bevel, -bevel, -bevel);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, stripe(inside.contains(x, y) ? innerStripes : outerStripes, x, y));
    }
    for (int i = 0; i < bevel; ++i)
        drawBevelLine(image, frame.adjusted(i, i, -i, -i), shadows[i], lights[i]);
    return image;
}

// How much of each pixel the symbol covers, as alpha.
QImage coverage(const QPainterPath &outline, const QPen &pen)
{
    QImage image(buttonSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pen);
    painter.setBrush(pen.brush());
    painter.drawPath(outline);
    return image;
}

QImage button(const QPainterPath &symbol, const QPen &pen)
{
    QImage image = background();
    const QImage cover = coverage(symbol, pen);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int step = qRound(qAlpha(cover.pixel(x, y)) * smoothingSteps / 255.0);
            const QColor base = QColor::fromRgb(image.pixel(x, y));
            const double keep = 1.0 - double(step) / smoothingSteps;
            image.setPixel(x, y,
                           qRgb(qRound(base.red() * keep), qRound(base.green() * keep),
                                qRound(base.blue() * keep)));
        }
    }
    return image;
}

const QPen triangleOutline(QBrush(Qt::black), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);

QPainterPath triangle(const QPolygonF &corners)
{
    QPainterPath path;
    path.addPolygon(corners);
    path.closeSubpath();
    return path;
}

QImage upButton()
{
    return button(triangle({{49, 12.5}, {64, 34.5}, {34, 34.5}}), triangleOutline);
}

QImage downButton()
{
    return button(triangle({{34, 13.5}, {64, 13.5}, {49, 35.5}}), triangleOutline);
}

// A shaft that runs right along the bottom, turns up and back, and ends in a
// head pointing left: "go back", which is how a child leaves the program.
QImage closeButton()
{
    QPainterPath shaft;
    shaft.moveTo(42, 34.5);
    shaft.lineTo(55, 34.5);
    shaft.arcTo(QRectF(46, 16.5, 18, 18), 270, 180);
    shaft.lineTo(41, 16.5);
    const QPainterPathStroker stroker(
        QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPainterPath arrow =
        stroker.createStroke(shaft).united(triangle({{31, 16.5}, {42, 9}, {42, 24}}));
    return button(arrow, QPen(QBrush(Qt::black), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// A pencil writing: it lies slanted with its point down at the left, at the
// end of the wavy line it has just drawn. The gaps between point, wood, body
// and cap are left bare so that the solid black still reads as a pencil.
QImage writeButton()
{
    QPainterPath point;
    point.addPolygon(QPolygonF({{0, 0}, {4, -1.8}, {4, 1.8}}));
    point.closeSubpath();
    QPainterPath wood;
    wood.addPolygon(QPolygonF({{4.2, -1.9}, {10, -4.5}, {10, 4.5}, {4.2, 1.9}}));
    wood.closeSubpath();
    const QPainterPathStroker woodEdge(
        QPen(Qt::black, 1.2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    QPainterPath body;
    body.addRect(QRectF(11.5, -4.5, 17, 9));
    QPainterPath cap;
    cap.addRoundedRect(QRectF(30, -4.5, 5, 9), 1.5, 1.5);
    QTransform slant;
    slant.translate(46, 32);
    slant.rotate(-35);
    const QPainterPath pencil =
        slant.map(point.united(woodEdge.createStroke(wood)).united(body).united(cap));

    QPainterPath line;
    line.moveTo(23, 36);
    line.cubicTo(28, 30, 32, 40, 36, 35);
    line.cubicTo(39, 32, 42, 34, 45.5, 32.5);
    const QPainterPathStroker lineStroke(
        QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    return button(pencil.united(lineStroke.createStroke(line)), QPen(QBrush(Qt::black), 0.6));
}

// A palette image holding exactly the colours used, in a fixed order, so the
// same picture always gives the same file.
QImage indexed(const QImage &image, int maxColours)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QMap<QRgb, int> indexOf;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x)
            indexOf.insert(argb.pixel(x, y), 0);
    }
    if (indexOf.size() > maxColours)
        return {};
    QVector<QRgb> table;
    for (auto it = indexOf.begin(); it != indexOf.end(); ++it) {
        it.value() = table.size();
        table.append(it.key());
    }
    QImage result(argb.size(), QImage::Format_Indexed8);
    result.setColorTable(table);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x)
            result.setPixel(x, y, uint(indexOf.value(argb.pixel(x, y))));
    }
    return result;
}

bool save(const QImage &image, int maxColours, const QString &path)
{
    const QImage result = indexed(image, maxColours);
    if (!result.isNull() && result.save(path, "PNG"))
        return true;
    QTextStream(stderr) << "cannot write " << path << " with at most " << maxColours
                        << " colours\n";
    return false;
}

// The icon at size pixels: a drawing enlarged by whole pixels where one
// fits, so the picture stays crisp; otherwise the larger drawing scaled down.
QImage themeIcon(const QString &iconFolder, int size)
{
    for (const int drawn : {32, 16}) {
        if (size % drawn == 0) {
            const QImage drawing(iconFolder + QStringLiteral("zorvina-%1.xpm").arg(drawn));
            return drawing.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
    }
    return QImage(iconFolder + QStringLiteral("zorvina-32.xpm"))
        .convertToFormat(QImage::Format_ARGB32)
        .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool saveThemeIcons(const QString &resources, const QString &out, const QString &name)
{
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = out + QStringLiteral("/%1x%1/apps/").arg(size);
        const QImage icon = themeIcon(resources + QStringLiteral("icons/"), size);
        // Enlarged drawings keep their few colours; a scaled one cannot.
        const QImage result = indexed(icon, iconColours);
        if (!QDir().mkpath(folder) || !(result.isNull() ? icon : result)
                                           .save(folder + name + QStringLiteral(".png"), "PNG")) {
            QTextStream(stderr) << "cannot write the " << size << " pixel icon into " << folder
                                << "\n";
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 5 && QLatin1String(argv[1]) == QLatin1String("--theme"))
        return saveThemeIcons(QString::fromLocal8Bit(argv[2]) + QLatin1Char('/'),
                              QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]))
                   ? 0
                   : 1;
    if (argc != 2) {
        QTextStream(stderr) << "usage: zorvina-paint-pictures <resources folder>\n"
                               "       zorvina-paint-pictures --theme <resources folder> "
                               "<output folder> <icon name>\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    bool ok = save(upButton(), buttonColours, folder + QStringLiteral("buttons/up.png"));
    ok = save(downButton(), buttonColours, folder + QStringLiteral("buttons/down.png")) && ok;
    ok = save(closeButton(), buttonColours, folder + QStringLiteral("buttons/close.png")) && ok;
    ok = save(writeButton(), buttonColours, folder + QStringLiteral("buttons/write.png")) && ok;
    for (const QString &size : {QStringLiteral("32"), QStringLiteral("16")}) {
        const QString name = folder + QStringLiteral("icons/zorvina-") + size;
        ok = save(QImage(name + QStringLiteral(".xpm")), iconColours,
                  name + QStringLiteral(".png")) &&
             ok;
    }
    return ok ? 0 : 1;
}
