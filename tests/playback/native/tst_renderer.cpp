// SPDX-License-Identifier: GPL-3.0-or-later
// The renderer draws hand-built movies into small pictures; the checks look
// at chosen pixels. One picture pixel is 20 twips.

#include "renderer.h"
#include "scanfill.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
#include <QTest>

#include <functional>
#include <tuple>

using namespace swf;

namespace {

const QColor red(255, 0, 0);
const QColor green(0, 255, 0);
const QColor blue(0, 0, 255);
const QColor white(255, 255, 255);

// Edges of a rectangle given in pixels, clockwise on screen, so that the
// inside is to their right (fill1).
QList<Edge> rectangle(const QRectF &pixels, int fill0, int fill1, int line = 0)
{
    const QRectF r(pixels.topLeft() * 20, pixels.size() * 20);
    const QPointF corners[] = {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    QList<Edge> edges;
    for (int i = 0; i < 4; ++i)
        edges.append({corners[i], {}, corners[(i + 1) % 4], false, fill0, fill1, line});
    return edges;
}

FillStyle solid(const QColor &color)
{
    FillStyle fill;
    fill.color = color;
    return fill;
}

std::shared_ptr<Shape> shapeOf(QList<Edge> edges, QList<FillStyle> fills,
                               QList<LineStyle> lines = {})
{
    auto shape = std::make_shared<Shape>();
    shape->edges = std::move(edges);
    shape->fills = std::move(fills);
    shape->lines = std::move(lines);
    return shape;
}

// A rectangle filled with fill, by default the whole picture.
std::shared_ptr<Shape> square(const FillStyle &fill, const QRectF &pixels = {0, 0, 100, 100})
{
    return shapeOf(rectangle(pixels, 0, 1), {fill});
}

DisplayObject placed(int depth, quint16 id, CharacterKind kind = CharacterKind::Shape,
                     const QTransform &matrix = {}, int clipDepth = 0)
{
    DisplayObject object;
    object.depth = depth;
    object.characterId = id;
    object.kind = kind;
    object.matrix = matrix;
    object.clipDepth = clipDepth;
    return object;
}

struct Scene
{
    std::shared_ptr<Movie> movie = std::make_shared<Movie>();
    DisplayObject root;
    bool highQuality = true;

    DisplayObject &add(quint16 id, std::shared_ptr<Shape> shape, int depth)
    {
        movie->shapes.insert(id, std::move(shape));
        root.children.push_back(placed(depth, id));
        return root.children.back();
    }
    QImage render(QSize size = {100, 100}) const
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        Renderer renderer(movie);
        renderer.setHighQuality(highQuality);
        renderer.paint(painter, root, QTransform::fromScale(0.05, 0.05));
        return image;
    }
};

struct Probe
{
    QPoint at;
    QColor expected;
};

void checkProbes(const QImage &image, const QList<Probe> &probes, int tolerance = 6)
{
    for (const Probe &probe : probes) {
        const QColor got = image.pixelColor(probe.at);
        const int difference = std::max({std::abs(got.red() - probe.expected.red()),
                                         std::abs(got.green() - probe.expected.green()),
                                         std::abs(got.blue() - probe.expected.blue())});
        QVERIFY2(difference <= tolerance,
                 qPrintable(QStringLiteral("at %1,%2: %3 where %4 was expected")
                                .arg(probe.at.x())
                                .arg(probe.at.y())
                                .arg(got.name(), probe.expected.name())));
    }
}

// How many pixels of dark ink column x holds, counting part-covered ones in part.
double inkInColumn(const QImage &image, int x)
{
    double ink = 0;
    for (int y = 0; y < image.height(); ++y)
        ink += (255 - qGray(image.pixel(x, y))) / 255.0;
    return ink;
}

FillStyle gradientFill(FillStyle::Type type, const QTransform &matrix,
                       const QList<GradientStop> &stops)
{
    FillStyle fill;
    fill.type = type;
    fill.gradient.matrix = matrix;
    fill.gradient.stops = stops;
    return fill;
}

// The gradient square laid over pixels from..to across, centred on 50 down.
QTransform across(double from, double to)
{
    const double scale = (to - from) * 20 / 32768;
    return QTransform(scale, 0, 0, scale, (from + to) * 10, 1000);
}

FillStyle bitmapFill(bool repeating)
{
    FillStyle fill;
    fill.type = FillStyle::Type::Bitmap;
    fill.bitmapId = 9;
    fill.bitmapMatrix = QTransform::fromScale(100, 100); // one picture pixel: 5 px
    fill.repeating = repeating;
    fill.smoothed = false;
    return fill;
}

// A 2x2 picture: red, green on top, blue, black below.
std::shared_ptr<Bitmap> checker()
{
    auto bitmap = std::make_shared<Bitmap>();
    bitmap->image = QImage(2, 2, QImage::Format_ARGB32_Premultiplied);
    bitmap->image.setPixel(0, 0, qRgb(255, 0, 0));
    bitmap->image.setPixel(1, 0, qRgb(0, 255, 0));
    bitmap->image.setPixel(0, 1, qRgb(0, 0, 255));
    bitmap->image.setPixel(1, 1, qRgb(0, 0, 0));
    return bitmap;
}

// A font whose only glyph is its EM square sitting on the baseline, and a
// text of two of them, 20 px high, starting at 10, 60 px.
void addText(Scene &scene, bool font3)
{
    const double em = font3 ? 20480 : 1024;
    auto font = std::make_shared<Font>();
    font->font3 = font3;
    QPainterPath square;
    square.addRect(0, -em, em, em);
    font->glyphs = {square};
    scene.movie->fonts.insert(5, font);
    auto text = std::make_shared<Text>();
    text->records = {{5, blue, 200, 1200, 400, {{0, 500}, {0, 500}}}};
    scene.movie->texts.insert(6, text);
    scene.root.children.push_back(placed(1, 6, CharacterKind::Text));
}

// Three strips across the picture at depths 2, 3 and 4, red, green, blue.
void addStrips(Scene &scene)
{
    scene.add(2, square(solid(red), {0, 0, 100, 30}), 2);
    scene.add(3, square(solid(green), {0, 35, 100, 30}), 3);
    scene.add(4, square(solid(blue), {0, 70, 100, 30}), 4);
}

DisplayObject sprite(int depth, std::vector<DisplayObject> children, int clipDepth = 0)
{
    DisplayObject object = placed(depth, 20, CharacterKind::Sprite, {}, clipDepth);
    object.children = std::move(children);
    return object;
}

std::shared_ptr<MorphShape> squareMorph()
{
    auto morph = std::make_shared<MorphShape>();
    morph->startEdges = rectangle({0, 0, 50, 50}, 0, 1);
    morph->endEdges = rectangle({50, 50, 50, 50}, 0, 1);
    morph->startFills = {solid(red)};
    morph->endFills = {solid(blue)};
    return morph;
}

using SceneBuilder = std::function<void(Scene &)>;

} // namespace

class RendererTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void draws_data();
    void draws();
    void lineWidth_data();
    void lineWidth();
    void showAll_data();
    void showAll();
    void coveredPixels_data();
    void coveredPixels();
    void curvesCutFinely_data();
    void curvesCutFinely();
    void tooComplex();
};

void RendererTest::draws_data()
{
    QTest::addColumn<SceneBuilder>("build");
    QTest::addColumn<QList<Probe>>("probes");

    QTest::newRow("hole from the inner edges' other side") << SceneBuilder([](Scene &s) {
        s.add(1,
              shapeOf(rectangle({10, 10, 80, 80}, 0, 1) + rectangle({30, 30, 40, 40}, 1, 0),
                      {solid(red)}),
              1);
    }) << QList<Probe>{{{20, 20}, red}, {{50, 50}, white}, {{80, 50}, red}};
    QTest::newRow("two fills share an edge") << SceneBuilder([](Scene &s) {
        // Red on the left, blue on the right of a middle edge that goes down,
        // bulging to x = 60 px, with red on its right.
        const QPointF top(1000, 200), bottom(1000, 1800);
        QList<Edge> edges{{top, {1400, 1000}, bottom, true, 2, 1, 0},
                          {bottom, {}, {200, 1800}, false, 0, 1, 0},
                          {{200, 1800}, {}, {200, 200}, false, 0, 1, 0},
                          {{200, 200}, {}, top, false, 0, 1, 0},
                          {top, {}, {1800, 200}, false, 0, 2, 0},
                          {{1800, 200}, {}, {1800, 1800}, false, 0, 2, 0},
                          {{1800, 1800}, {}, bottom, false, 0, 2, 0}};
        s.add(1, shapeOf(edges, {solid(red), solid(blue)}), 1);
    }) << QList<Probe>{{{30, 50}, red}, {{56, 50}, red}, {{64, 50}, blue}, {{95, 50}, white}};
    QTest::newRow("edges out of order join") << SceneBuilder([](Scene &s) {
        QList<Edge> edges = rectangle({10, 10, 40, 40}, 0, 1);
        std::swap(edges[0], edges[2]);
        s.add(1, shapeOf(edges, {solid(red)}), 1);
    }) << QList<Probe>{{{30, 30}, red}, {{60, 30}, white}};
    QTest::newRow("curved edge bulges") << SceneBuilder([](Scene &s) {
        // A half disc-like bulge to the right of a vertical chord at x = 20 px.
        QList<Edge> edges{{{400, 200}, {1600, 1000}, {400, 1800}, true, 0, 1, 0},
                          {{400, 1800}, {}, {400, 200}, false, 0, 1, 0}};
        s.add(1, shapeOf(edges, {solid(red)}), 1);
    }) << QList<Probe>{{{40, 50}, red}, {{40, 15}, white}, {{75, 50}, white}};
    QTest::newRow("half-transparent fill")
        << SceneBuilder([](Scene &s) { s.add(1, square(solid(QColor(255, 0, 0, 128))), 1); })
        << QList<Probe>{{{50, 50}, QColor(255, 127, 127)}};
    QTest::newRow("linear gradient") << SceneBuilder([](Scene &s) {
        s.add(
            1,
            square(gradientFill(FillStyle::Type::Linear, across(0, 100), {{0, red}, {255, blue}})),
            1);
    }) << QList<Probe>{{{0, 50}, red}, {{50, 50}, QColor(126, 0, 129)}, {{99, 50}, blue}};
    QTest::newRow("radial gradient") << SceneBuilder([](Scene &s) {
        s.add(
            1,
            square(gradientFill(FillStyle::Type::Radial, across(0, 100), {{0, red}, {255, blue}})),
            1);
    }) << QList<Probe>{{{50, 50}, red}, {{25, 50}, QColor(130, 0, 125)}, {{2, 2}, blue}};
    QTest::newRow("focal gradient") << SceneBuilder([](Scene &s) {
        FillStyle fill =
            gradientFill(FillStyle::Type::Focal, across(0, 100), {{0, red}, {255, blue}});
        fill.gradient.focalPoint = 0.5;
        s.add(1, square(fill), 1);
    }) << QList<Probe>{{{75, 50}, red}, {{1, 50}, blue}};
    QTest::newRow("ratios going back hold") << SceneBuilder([](Scene &s) {
        // Cyan comes after green though its ratio is lower: it only shows on the way to blue.
        const QColor cyan(0, 255, 255);
        s.add(1,
              square(gradientFill(FillStyle::Type::Linear, across(0, 100),
                                  {{0, red}, {128, green}, {50, cyan}, {255, blue}})),
              1);
    }) << QList<Probe>{{{54, 50}, QColor(0, 144, 255)}, {{25, 50}, QColor(125, 130, 0)}};
    QTest::newRow("repeating gradient") << SceneBuilder([](Scene &s) {
        FillStyle fill =
            gradientFill(FillStyle::Type::Linear, across(0, 50), {{0, red}, {255, blue}});
        fill.gradient.spread = Gradient::Spread::Repeat;
        s.add(1, square(fill), 1);
    }) << QList<Probe>{{{75, 50}, QColor(125, 0, 130)}, {{25, 50}, QColor(125, 0, 130)}};
    QTest::newRow("gradient in linear light") << SceneBuilder([](Scene &s) {
        FillStyle fill =
            gradientFill(FillStyle::Type::Linear, across(0, 100), {{0, red}, {255, green}});
        fill.gradient.interpolation = Gradient::Interpolation::Linear;
        s.add(1, square(fill), 1);
    }) << QList<Probe>{{{50, 50}, QColor(187, 189, 0)}};

    QTest::newRow("mask clips up to its clip depth") << SceneBuilder([](Scene &s) {
        s.add(1, square(solid(Qt::black), {0, 0, 50, 100}), 1).clipDepth = 3;
        addStrips(s);
    }) << QList<Probe>{{{25, 15}, red},  {{75, 15}, white}, {{25, 50}, green}, {{75, 50}, white},
                       {{25, 85}, blue}, {{75, 85}, blue},  {{25, 32}, white}};
    QTest::newRow("nested masks intersect") << SceneBuilder([](Scene &s) {
        s.add(1, square(solid(Qt::black), {0, 0, 50, 100}), 1).clipDepth = 5;
        s.add(2, square(solid(Qt::black), {0, 0, 100, 50}), 2).clipDepth = 3;
        s.add(3, square(solid(red)), 3);
        s.add(4, square(solid(green), {0, 80, 100, 20}), 4);
    })
                                            << QList<Probe>{{{25, 25}, red},
                                                            {{75, 25}, white},
                                                            {{25, 65}, white},
                                                            {{25, 90}, green},
                                                            {{75, 90}, white}};
    QTest::newRow("sprite mask: its children's union") << SceneBuilder([](Scene &s) {
        s.movie->shapes.insert(7, square(solid(Qt::black), {0, 0, 50, 50}));
        s.root.children.push_back(
            sprite(1,
                   {placed(1, 7),
                    placed(2, 7, CharacterKind::Shape, QTransform::fromTranslate(1000, 1000))},
                   2));
        s.add(2, square(solid(red)), 2);
    }) << QList<Probe>{{{25, 25}, red}, {{75, 75}, red}, {{75, 25}, white}};

    ColorTransform multiplied, added, faded;
    multiplied.rMult = 0.5;
    added.gAdd = 255;
    faded.aMult = 0.5;
    for (const auto &[name, transform, expected] :
         {std::tuple{"colour multiplied", multiplied, QColor(128, 0, 0)},
          std::tuple{"colour added", added, QColor(255, 255, 0)},
          std::tuple{"alpha multiplied", faded, QColor(255, 127, 127)}}) {
        QTest::newRow(name) << SceneBuilder([transform = transform](Scene &s) {
            s.add(1, square(solid(red)), 1).colorTransform = transform;
        }) << QList<Probe>{{{50, 50}, expected}};
    }
    QTest::newRow("sprite's transform after its child's") << SceneBuilder([](Scene &s) {
        s.movie->shapes.insert(7, square(solid(Qt::black)));
        DisplayObject child = placed(1, 7);
        child.colorTransform.rMult = 0.5;
        DisplayObject parent = sprite(1, {child});
        parent.colorTransform.rAdd = 100;
        s.root.children.push_back(parent);
    }) << QList<Probe>{{{50, 50}, QColor(100, 0, 0)}};

    for (const auto &[ratio, inStart, inEnd, middle] :
         {std::tuple{0, red, white, red}, std::tuple{32768, white, white, QColor(127, 0, 128)},
          std::tuple{65535, white, blue, white}}) {
        QTest::addRow("morph at %d", ratio) << SceneBuilder([ratio = ratio](Scene &s) {
            s.movie->morphShapes.insert(8, squareMorph());
            s.root.children.push_back(placed(1, 8, CharacterKind::MorphShape));
            s.root.children.back().ratio = quint16(ratio);
        }) << QList<Probe>{{{10, 10}, inStart}, {{90, 90}, inEnd}, {{45, 45}, middle}};
    }

    QTest::newRow("bitmap repeating") << SceneBuilder([](Scene &s) {
        s.movie->bitmaps.insert(9, checker());
        s.add(1, square(bitmapFill(true), {0, 0, 40, 40}), 1);
    }) << QList<Probe>{{{2, 2}, red},  {{7, 2}, green},       {{2, 7}, blue},
                       {{12, 2}, red}, {{17, 17}, Qt::black}, {{50, 50}, white}};
    QTest::newRow("bitmap clipped") << SceneBuilder([](Scene &s) {
        s.movie->bitmaps.insert(9, checker());
        s.add(1, square(bitmapFill(false), {0, 0, 40, 40}), 1);
    }) << QList<Probe>{{{2, 2}, red}, {{7, 7}, Qt::black}, {{12, 2}, white}};
    QTest::newRow("bitmap through a colour transform") << SceneBuilder([](Scene &s) {
        s.movie->bitmaps.insert(9, checker());
        DisplayObject &object = s.add(1, square(bitmapFill(true), {0, 0, 40, 40}), 1);
        object.colorTransform.rMult = 0;
        object.colorTransform.bAdd = 255;
    }) << QList<Probe>{{{2, 2}, blue}, {{7, 2}, QColor(0, 255, 255)}};
    QTest::newRow("missing bitmap") << SceneBuilder([](Scene &s) {
        s.add(1, square(bitmapFill(true), {0, 0, 40, 40}), 1);
    }) << QList<Probe>{{{2, 2}, white}};
    QTest::newRow("bitmap placed itself") << SceneBuilder([](Scene &s) {
        s.movie->bitmaps.insert(9, checker());
        s.root.children.push_back(
            placed(1, 9, CharacterKind::Bitmap, QTransform::fromTranslate(200, 200)));
    }) << QList<Probe>{{{10, 10}, red}, {{11, 10}, green}, {{12, 12}, white}};

    for (const bool font3 : {false, true}) {
        QTest::addRow("text, font3 %d", font3)
            << SceneBuilder([font3](Scene &s) { addText(s, font3); })
            << QList<Probe>{
                   {{20, 50}, blue}, {{32, 50}, white}, {{45, 50}, blue}, {{45, 35}, white}};
    }
    // An edge 0.3 px into a pixel column: blended, or not at all.
    for (const bool high : {true, false}) {
        QTest::addRow("edge at high quality %d", high) << SceneBuilder([high](Scene &s) {
            s.highQuality = high;
            s.add(1, square(solid(red), {10.3, 10.3, 20, 20}), 1);
        }) << QList<Probe>{{{10, 20}, high ? QColor(255, 77, 77) : red}, {{9, 20}, white}};
    }
    QTest::newRow("low quality: a one-pixel outline's round corner") << SceneBuilder([](Scene &s) {
        // On pixel borders: each side takes the pixels before the border,
        // and the corner pixel's centre lies outside the round join.
        s.highQuality = false;
        LineStyle line;
        line.width = 20;
        line.color = Qt::black;
        s.add(1, shapeOf(rectangle({5, 6, 80, 80}, 0, 0, 1), {}, {line}), 1);
    }) << QList<Probe>{{{4, 5}, white},  {{4, 40}, Qt::black}, {{40, 5}, Qt::black},
                       {{5, 40}, white}, {{40, 6}, white},     {{84, 40}, Qt::black}};
    QTest::newRow("low quality: a mask takes the pixels whose centres it covers")
        << SceneBuilder([](Scene &s) {
               s.highQuality = false;
               s.add(1, square(solid(blue), {20.5, 20.5, 30, 30}), 1).clipDepth = 2;
               s.add(2, square(solid(red)), 2);
           })
        << QList<Probe>{{{20, 20}, red},   {{49, 49}, red},   {{19, 30}, white},
                        {{30, 19}, white}, {{50, 30}, white}, {{30, 50}, white}};

    QTest::newRow("singular matrix draws nothing") << SceneBuilder([](Scene &s) {
        s.add(1, square(solid(red)), 1).matrix = QTransform(1, 0, 1, 0, 0, 0);
    }) << QList<Probe>{{{50, 50}, white}, {{0, 0}, white}};
    QTest::newRow("huge coordinates") << SceneBuilder([](Scene &s) {
        // Filled and outlined, with a curve far off the picture.
        QList<Edge> edges = rectangle({-5e7, -5e7, 1e8, 1e8}, 0, 1, 1);
        edges.append({{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, true, 0, 0, 1});
        LineStyle line;
        line.width = 2000;
        s.add(1, shapeOf(edges, {solid(red)}, {line}), 1);
    }) << QList<Probe>{{{50, 50}, red}, {{0, 99}, red}};
    QTest::newRow("huge scale") << SceneBuilder([](Scene &s) {
        s.add(1, square(solid(red), {-1, -1, 2, 2}), 1).matrix = QTransform::fromScale(1e9, 1e9);
    }) << QList<Probe>{{{50, 50}, red}};
}

void RendererTest::draws()
{
    QFETCH(SceneBuilder, build);
    QFETCH(QList<Probe>, probes);
    Scene scene;
    build(scene);
    QElapsedTimer timer;
    timer.start();
    const QImage image = scene.render();
    QVERIFY2(timer.elapsed() < 5000, "drawing took too long");
    checkProbes(image, probes);
}

void RendererTest::lineWidth_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("keepWidth");
    QTest::addColumn<double>("pixels");

    QTest::newRow("5 px") << 100 << 1.0 << false << 5.0;
    QTest::newRow("5 px scaled twice") << 100 << 2.0 << false << 10.0;
    QTest::newRow("5 px scaled half") << 100 << 0.5 << false << 2.5;
    QTest::newRow("hairline") << 0 << 3.0 << false << 1.0;
    QTest::newRow("thinner than a pixel") << 4 << 1.0 << false << 1.0;
    QTest::newRow("no scaling") << 100 << 3.0 << true << 5.0;
}

void RendererTest::lineWidth()
{
    QFETCH(int, twips);
    QFETCH(double, scale);
    QFETCH(bool, keepWidth);
    QFETCH(double, pixels);
    LineStyle style;
    style.width = quint16(twips);
    style.color = Qt::black;
    style.noHScale = keepWidth;
    style.noVScale = keepWidth;
    // A horizontal line through the middle of the picture once scaled about its centre.
    const double y = 50 * 20 / scale;
    Scene scene;
    scene.add(1, shapeOf({{{0, y}, {}, {4000 / scale, y}, false, 0, 0, 1}}, {}, {style}), 1);
    scene.root.children.back().matrix = QTransform::fromScale(scale, scale);
    QVERIFY(qAbs(inkInColumn(scene.render(), 50) - pixels) < 0.3);
}

void RendererTest::showAll_data()
{
    QTest::addColumn<QRectF>("stage");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<QPointF>("topLeft");
    QTest::addColumn<QPointF>("bottomRight");

    QTest::newRow("wider area") << QRectF(0, 0, 8000, 6000) << QRectF(0, 0, 800, 300)
                                << QPointF(200, 0) << QPointF(600, 300);
    QTest::newRow("taller area") << QRectF(0, 0, 8000, 6000) << QRectF(0, 0, 400, 900)
                                 << QPointF(0, 300) << QPointF(400, 600);
    QTest::newRow("offset stage and area")
        << QRectF(2000, 2000, 2000, 2000) << QRectF(10, 20, 100, 100) << QPointF(10, 20)
        << QPointF(110, 120);
    QTest::newRow("empty stage shows nothing")
        << QRectF(0, 0, 0, 6000) << QRectF(0, 0, 400, 900) << QPointF(0, 0) << QPointF(0, 0);
}

void RendererTest::showAll()
{
    QFETCH(QRectF, stage);
    QFETCH(QRectF, area);
    QFETCH(QPointF, topLeft);
    QFETCH(QPointF, bottomRight);
    const QTransform transform = Renderer::showAll(stage, area);
    QCOMPARE(transform.map(stage.topLeft()), topLeft);
    QCOMPARE(transform.map(stage.bottomRight()), bottomRight);
}

QPainterPath rectPath(const QRectF &rect, Qt::FillRule rule = Qt::OddEvenFill)
{
    QPainterPath path;
    path.setFillRule(rule);
    path.addRect(rect);
    return path;
}

void RendererTest::coveredPixels_data()
{
    QTest::addColumn<QPainterPath>("path");
    QTest::addColumn<QTransform>("transform");
    QTest::addColumn<QRegion>("expected");

    QTest::newRow("centres on the left and top edges are in, right and bottom out")
        << rectPath({2.5, 2.5, 3, 3}) << QTransform() << QRegion(2, 2, 3, 3);
    QTest::newRow("edges just past the centres")
        << rectPath({2.4, 2.6, 3.2, 2.8}) << QTransform() << QRegion(2, 3, 4, 2);
    QTest::newRow("no centre inside") << rectPath({3.6, 3.6, 0.8, 5}) << QTransform() << QRegion();
    QTest::newRow("through the transform")
        << rectPath({0, 0, 40, 60}) << QTransform(0.05, 0, 0, 0.05, 1, 2) << QRegion(1, 2, 2, 3);
    QTest::newRow("cut to the bounds")
        << rectPath({-50, -3, 100, 8}) << QTransform() << QRegion(0, 0, 20, 5);
    QPainterPath ring = rectPath({0, 0, 10, 10});
    ring.addRect(3, 3, 4, 4);
    QTest::newRow("odd-even leaves a hole")
        << ring << QTransform() << QRegion(0, 0, 10, 10).subtracted({3, 3, 4, 4});
    ring.setFillRule(Qt::WindingFill);
    QTest::newRow("winding fills the same turn twice")
        << ring << QTransform() << QRegion(0, 0, 10, 10);
    QPainterPath bowtie;
    bowtie.moveTo(0, 0);
    bowtie.lineTo(10, 10);
    bowtie.lineTo(10, 0);
    bowtie.lineTo(0, 10);
    // The two halves of a row meet on a pixel centre only on the right.
    QRegion bowtieRows;
    for (int y = 0; y < 10; ++y) {
        const int left = y < 5 ? y : 9 - y;
        bowtieRows += QRegion(0, y, left, 1);
        bowtieRows += QRegion(9 - left, y, left + 1, 1);
    }
    QTest::newRow("crossing edges, closed without closeSubpath")
        << bowtie << QTransform() << bowtieRows;
    QTest::newRow("squashed flat")
        << rectPath({2, 2, 5, 5}) << QTransform(1, 0, 0, 0, 0, 3) << QRegion();
}

void RendererTest::coveredPixels()
{
    QFETCH(QPainterPath, path);
    QFETCH(QTransform, transform);
    QFETCH(QRegion, expected);
    const auto covered = swf::coveredPixels(path, transform, QRect(0, 0, 20, 20));
    QVERIFY(covered);
    const QRegion wrong = *covered ^ expected;
    QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("wrong pixels from %1,%2")
                                             .arg(wrong.boundingRect().x())
                                             .arg(wrong.boundingRect().y())));
}

void RendererTest::curvesCutFinely_data()
{
    QTest::addColumn<QPointF>("control");

    QTest::newRow("gentle") << QPointF(14, 10);
    QTest::newRow("deep") << QPointF(90, 10);
    QTest::newRow("lopsided") << QPointF(60, -20);
}

// Every pixel whose centre lies clearly off the curve is on the side the
// true curve puts it.
void RendererTest::curvesCutFinely()
{
    QFETCH(QPointF, control);
    const QPointF from(4, 2), to(4, 38);
    QPainterPath path;
    path.moveTo(from);
    path.quadTo(control, to);
    path.closeSubpath();
    QPolygonF fine;
    for (int i = 0; i <= 4000; ++i) {
        const double t = i / 4000.0;
        fine << (1 - t) * (1 - t) * from + 2 * t * (1 - t) * control + t * t * to;
    }
    const auto covered = swf::coveredPixels(path, QTransform(), QRect(0, 0, 60, 40));
    QVERIFY(covered);
    int checked = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            const QPointF centre(x + 0.5, y + 0.5);
            double distance = 1e9;
            for (const QPointF &point : fine)
                distance = std::min(distance, QLineF(point, centre).length());
            if (distance < swf::flatness + 0.01)
                continue;
            ++checked;
            QVERIFY2(covered->contains(QPoint(x, y)) == fine.containsPoint(centre, Qt::OddEvenFill),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
    QVERIFY(checked > 1000);
}

// An outline that would cross rows more often than a frame ever needs is
// refused rather than cut up at any cost; the renderer then leaves it to Qt.
void RendererTest::tooComplex()
{
    QPainterPath zigzag;
    zigzag.moveTo(0, -1);
    for (int i = 0; i < 20000; ++i)
        zigzag.lineTo(i * 0.01, i % 2 ? -1 : 1001);
    QVERIFY(!swf::coveredPixels(zigzag, QTransform(), QRect(0, 0, 100, 1000)));
    QVERIFY(swf::coveredPixels(zigzag, QTransform(), QRect(0, 0, 100, 100)));

    // A square with thousands of slivers of no area across the whole height.
    Scene scene;
    scene.highQuality = false;
    QList<Edge> edges = rectangle({0, 0, 100, 100}, 0, 1);
    const QPointF top(600, -20), bottom(600, 20020);
    for (int i = 0; i < 10000; ++i) {
        edges.append({top, {}, bottom, false, 0, 1, 0});
        edges.append({bottom, {}, top, false, 0, 1, 0});
    }
    scene.add(1, shapeOf(edges, {solid(red)}), 1);
    checkProbes(scene.render({200, 1000}),
                {{{50, 50}, red}, {{99, 99}, red}, {{150, 50}, white}, {{50, 150}, white}});
}

QTEST_GUILESS_MAIN(RendererTest)
#include "tst_renderer.moc"
