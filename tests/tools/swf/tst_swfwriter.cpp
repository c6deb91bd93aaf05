// SPDX-License-Identifier: GPL-3.0-or-later
// What the writer makes is checked byte by byte against a movie worked out
// by hand (tests/data/swf/everytag.hex): what a Flash player reads. What the
// movies look like is checked by reading them back and by playing them.
#include "bitwriter.h"
#include "swferror.h"
#include "swfreader.h"
#include "swfwriter.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <functional>

namespace {

using Build = std::function<void(SwfWriter &)>;

const SwfWriter::Header Stage550x400{QSize(550, 400), 24.0};

ShapePath triangle()
{
    ShapePath path;
    path.moveTo({0, 0});
    path.lineTo({10, 0});
    path.lineTo({0, 10});
    path.close();
    return path;
}

Shape filled(const ShapePath &path, Rgba colour = Rgba())
{
    return {{{path, colour, std::nullopt}}};
}

// An MPEG-2 layer III frame header, 22050 Hz, mono, and a few zero bytes.
const QByteArray Mono22050 = QByteArray::fromHex("FF F3 40 C0") + QByteArray(100, '\0');
const Mp3Sound Sound{22050, false, 1152, 0, Mono22050};

} // namespace

class TestSwfWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyTagByteByByte();
    void malformedInputIsRefused_data();
    void malformedInputIsRefused();
    void bitFieldsRefuseWhatDoesNotFit();
};

void TestSwfWriter::everyTagByteByByte()
{
    QFile dump(QStringLiteral(ZORVINA_TEST_DATA "/swf/everytag.hex"));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray expected =
        QByteArray::fromHex(QString::fromUtf8(dump.readAll())
                                .remove(QRegularExpression(QStringLiteral("#[^\n]*")))
                                .toLatin1());
    SwfWriter w(Stage550x400);
    const Rgba red{255, 0, 0, 255};
    ShapePath curve;
    curve.moveTo({0, 0});
    curve.quadTo({1, 0}, {1, 1});
    ShapePath wide;
    wide.moveTo({1638.35, 0});
    wide.lineTo({-1638.35, 0});
    for (const ShapePath &path : {triangle(), curve, wide})
        w.defineShape(filled(path, red));
    w.placeObject(1, 1, Matrix::translation({10, -5}));
    w.placeObject(2, 2);
    Matrix half;
    half.scaleX = half.scaleY = 0.5;
    w.moveObject(2, half);
    w.replaceObject(2, 3);
    w.removeObject(2);
    w.doAction(ActionList().getUrl(QByteArray(56, 'u')));
    w.doAction(ActionList().getUrl(QByteArray(57, 'u')));
    w.doAction(ActionList().getUrl("FSCommand:quit", "").stop());
    w.startSound(w.defineSound(Sound), true);
    // Lines: one fill shared by two parts, styles that carry over to a later
    // move, bounds grown by half the line's width.
    ShapePath second;
    second.moveTo({5.05, -3});
    second.quadTo({7, -3}, {7, 1});
    second.moveTo({20, 20});
    second.lineTo({21, 20});
    const LineStyle line{2.0, Rgba{0, 0, 255, 128}};
    w.defineShape({{{triangle(), Rgba{1, 2, 3, 4}, std::nullopt},
                    {second, std::nullopt, line},
                    {triangle(), Rgba{1, 2, 3, 4}, line}}});
    for (int i = 0; i < 3; ++i)
        w.showFrame();
    const QByteArray file = w.finish(SwfWriter::Compression::None);
    // Tag by tag first, for a readable difference.
    const QList<SwfRecord> written = readSwf(file).tags;
    const QList<SwfRecord> wanted = readSwf(expected).tags;
    for (int i = 0; i < std::min(written.size(), wanted.size()); ++i)
        QCOMPARE(written[i].body.toHex(' '), wanted[i].body.toHex(' '));
    QCOMPARE(file.toHex(' '), expected.toHex(' '));
}

void TestSwfWriter::malformedInputIsRefused_data()
{
    QTest::addColumn<Build>("misuse");
    const auto shapeOf = [](const ShapePath &path) {
        return Build([path](SwfWriter &w) { w.defineShape(filled(path)); });
    };
    const auto soundOf = [](int rate, bool stereo, quint32 samples, const QByteArray &frames) {
        return Build([=](SwfWriter &w) { w.defineSound({rate, stereo, samples, 0, frames}); });
    };
    const auto lined = [](double width) {
        return Build([width](SwfWriter &w) {
            w.defineShape({{{triangle(), std::nullopt, LineStyle{width, Rgba()}}}});
        });
    };

    ShapePath farAway;
    farAway.moveTo({0, 0});
    farAway.lineTo({1638.4, 0}); // 32768 twips
    ShapePath notANumber;
    notANumber.moveTo({0, 0});
    notANumber.quadTo({qQNaN(), 0}, {1, 1});
    ShapePath noMove;
    noMove.lineTo({5, 5});
    ShapePath onlyMoves;
    onlyMoves.moveTo({1, 1});
    onlyMoves.moveTo({2, 2});
    Matrix huge;
    huge.scaleX = 20000;

    QTest::newRow("coordinate out of range") << shapeOf(farAway);
    QTest::newRow("NaN control point") << shapeOf(notANumber);
    QTest::newRow("empty path") << shapeOf(ShapePath());
    QTest::newRow("no parts") << Build([](SwfWriter &w) { w.defineShape(Shape()); });
    QTest::newRow("edge before move") << shapeOf(noMove);
    QTest::newRow("moves without edges") << shapeOf(onlyMoves);
    QTest::newRow("neither fill nor line") << Build([](SwfWriter &w) {
        w.defineShape({{{triangle(), std::nullopt, std::nullopt}}});
    });
    QTest::newRow("line too wide") << lined(4000.0);
    QTest::newRow("zero line width") << lined(0.0);
    QTest::newRow("place undefined character") << Build([](SwfWriter &w) { w.placeObject(1, 3); });
    QTest::newRow("place a sound") << Build([](SwfWriter &w) { w.placeObject(2, 2); });
    QTest::newRow("depth 0") << Build([](SwfWriter &w) { w.placeObject(0, 1); });
    QTest::newRow("depth too deep") << Build([](SwfWriter &w) { w.placeObject(65536, 1); });
    QTest::newRow("scale too large") << Build([huge](SwfWriter &w) { w.placeObject(1, 1, huge); });
    QTest::newRow("translation too far") << Build([](SwfWriter &w) {
        w.moveObject(1, Matrix::translation({6e7, 0}));
    });
    QTest::newRow("sound at 48 kHz")
        << soundOf(48000, false, 1152, QByteArray::fromHex("FF FB 94 C0") + QByteArray(100, '\0'));
    QTest::newRow("sound rate differs from data") << soundOf(44100, false, 1152, Mono22050);
    QTest::newRow("stereo declared, mono data") << soundOf(22050, true, 1152, Mono22050);
    QTest::newRow("sound data not MP3") << soundOf(22050, false, 1152, "RIFF....WAVEfmt ");
    QTest::newRow("sound without samples") << soundOf(22050, false, 0, Mono22050);
    QTest::newRow("start a shape as sound") << Build([](SwfWriter &w) { w.startSound(1); });
    QTest::newRow("URL with null")
        << Build([](SwfWriter &w) { w.doAction(ActionList().getUrl(QByteArray("a\0b", 3))); });
}

// A refused call throws and leaves the movie exactly as if it had not been
// made; the finished file stays valid. Character 1 is a shape, 2 a sound.
void TestSwfWriter::malformedInputIsRefused()
{
    QFETCH(Build, misuse);
    const auto start = [](SwfWriter &writer) {
        writer.placeObject(1, writer.defineShape(filled(triangle())));
        writer.defineSound(Sound);
        writer.showFrame();
    };
    SwfWriter clean(Stage550x400);
    start(clean);
    SwfWriter refused(Stage550x400);
    start(refused);

    QVERIFY_THROWS_EXCEPTION(SwfError, misuse(refused));
    refused.showFrame();
    clean.showFrame();
    const QByteArray file = refused.finish(SwfWriter::Compression::None);
    QCOMPARE(file, clean.finish(SwfWriter::Compression::None));
    QCOMPARE(readSwf(file).frameCount, 2);
}

// The last guard: a field never silently wraps.
void TestSwfWriter::bitFieldsRefuseWhatDoesNotFit()
{
    BitWriter writer;
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeUB(8, 3));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeSB(4, 3));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeSB(-5, 3));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeString(QByteArray("a\0b", 3)));
    QVERIFY(writer.bytes().isEmpty());
}

QTEST_GUILESS_MAIN(TestSwfWriter)
#include "tst_swfwriter.moc"
