// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the program's mouse pointer and writes it as a .cur file:
//     zorvina-cursor <output file>
#include "cursorfile.h"
#include "fileerror.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>
#include <QTextStream>

namespace {

const int side = 32;
// The outline's rounded corner around the arrow's tip reaches this pixel.
const QPoint tip(2, 2);

QPainterPath arrow()
{
    // A short, wide arrow reads better for a child than the thin system one.
    const QPolygonF outline({{3, 3}, {3, 26}, {9, 20.5}, {13, 29}, {18, 27}, {14, 19}, {22, 19}});
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    return path;
}

QImage paintPointer()
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = arrow();

    // A soft shadow lifts the pointer off light and dark pages alike.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 90));
    painter.drawPath(path.translated(1.5, 1.5));

    QLinearGradient fill(3, 3, 15, 28);
    fill.setColorAt(0, QColor(255, 236, 110));
    fill.setColorAt(1, QColor(255, 150, 30));
    painter.setBrush(fill);
    painter.setPen(QPen(QColor(40, 30, 80), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: zorvina-cursor <output file>\n";
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    try {
        writeCursorFile(path, paintPointer(), tip);
    } catch (const FileError &error) {
        err << error.message() << '\n';
        return 1;
    }
    return 0;
}
