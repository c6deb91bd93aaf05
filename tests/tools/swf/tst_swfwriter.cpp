// The expected bytes below were worked out by hand from the SWF file format:
// bit fields are packed most significant bit first, signed fields are two's
// complement of the given width, whole numbers are little-endian, 1 px = 20
// twips. They are what a Flash player reads; what the movies look like is
// checked by reading them back and by playing them.
#include "bitwriter.h"
#include "swferror.h"
#include "swfreader.h"
#include "swfwriter.h"

#include <QTest>
#include <functional>

namespace {

using Build = std::function<void(SwfWriter &)>;

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

SwfWriter::Header stage550x400()
{
    return {QSize(550, 400), 24.0};
}

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

// The body of the only tag with the given code in an uncompressed movie.
QByteArray onlyTag(const QByteArray &file, int code)
{
    QList<QByteArray> found;
    for (const SwfRecord &tag : readSwf(file).tags) {
        if (tag.code == code)
            found.append(tag.body);
    }
    if (found.size() != 1)
        qFatal("expected one tag %d, found %d", code, int(found.size()));
    return found.first();
}

// An MPEG-2 layer III frame header: 22050 Hz, mono, and a few zero bytes.
QByteArray mp3Mono22050()
{
    return hex("FF F3 40 C0") + QByteArray(100, '\0');
}

Mp3Sound sound(int rate, bool stereo, quint32 samples, const QByteArray &frames)
{
    return {rate, stereo, samples, 0, frames};
}

} // namespace

class TestSwfWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void byteLayouts_data();
    void byteLayouts();
    void shapeReadsBack();
    void malformedInputIsRefused_data();
    void malformedInputIsRefused();
    void bitFieldsRefuseWhatDoesNotFit();
};

void TestSwfWriter::byteLayouts_data()
{
    QTest::addColumn<Build>("build");
    // The only tag of this code; 0: the whole file; -1: the first tag after
    // FileAttributes, with its header.
    QTest::addColumn<int>("tag");
    QTest::addColumn<QByteArray>("expected");

    // FWS, version 10, 35 bytes; the stage as 15-bit fields 0 11000 0 8000
    // twips; 24.0 fps, 3 frames; FileAttributes (AS2); 3 ShowFrame; End.
    QTest::newRow("movie header")
        << Build([](SwfWriter &w) {
               for (int i = 0; i < 3; ++i)
                   w.showFrame();
           })
        << 0
        << hex("46 57 53 0A 23 00 00 00  78 00 05 5F 00 00 0F A0 00  00 18 03 00"
               "44 11 00 00 00 00  40 00 40 00 40 00  00 00");

    // DoAction is tag 12: 12 << 6 = 0x300. A GetURL body is 3 bytes of
    // header, the url and an empty target with their nulls, then the end byte.
    QTest::newRow("62-byte tag: short header")
        << Build([](SwfWriter &w) { w.doAction(ActionList().getUrl(QByteArray(56, 'u'))); }) << -1
        << hex("3E 03");
    QTest::newRow("63-byte tag: long header")
        << Build([](SwfWriter &w) { w.doAction(ActionList().getUrl(QByteArray(57, 'u'))); }) << -1
        << hex("3F 03 3F 00 00 00");

    // A shape: id 1, bounds, one solid red fill, no lines, 1 fill bit and 0
    // line bits, then the records.
    const auto redShape = [](const ShapePath &path) {
        return Build([path](SwfWriter &w) { w.defineShape(filled(path, Rgba{255, 0, 0, 255})); });
    };
    const auto shapeBody = [](const char *bounds, const char *records) -> QByteArray {
        return hex("01 00") + hex(bounds) + hex("01 00 FF 00 00 FF 00 10") + hex(records);
    };
    // Triangle (0,0) (200,0) (0,200) twips. Bounds: 9-bit fields 0 200 0 200.
    // Records: style change 0 0 1 0 1 1, move bits 00000, fill0 = 1 (1 bit);
    // horizontal +200 (9 bits: 11 0111 0 0 011001000); general -200, +200;
    // vertical -200; end 000000.
    QTest::newRow("straight edges")
        << redShape(triangle()) << int(SwfTag::DefineShape3)
        << shapeBody("48 01 90 00 64 00", "2C 1D C6 46 F9 C3 23 76 70 00");
    // Quadratic from (0,0), control (20,0), anchor (20,20): deltas 20 0 0 20 in
    // 6 bits: 10 0100 010100 000000 000000 010100.
    ShapePath curve;
    curve.moveTo({0, 0});
    curve.quadTo({1, 0}, {1, 1});
    QTest::newRow("curved edge") << redShape(curve) << int(SwfTag::DefineShape3)
                                 << shapeBody("30 0A 00 A0", "2C 19 14 00 05 00");
    // From x = 32767 twips to x = -32767: a delta of -65534 needs the widest
    // edge field, 17 bits (11 1111 0 0 then 1 0000 0000 0000 0010). The
    // bounds take 16-bit fields: 10000, -32767, 32767, 0, 0.
    ShapePath wide;
    wide.moveTo({1638.35, 0});
    wide.lineTo({-1638.35, 0});
    QTest::newRow("largest negative delta")
        << redShape(wide) << int(SwfTag::DefineShape3)
        << shapeBody("84 00 0B FF F8 00 00 00 00", "2E 0F FF E0 00 1F C8 00 10 00");

    // PlaceObject2 flags: matrix 0x04, character 0x02, move
    // 0x01. Matrices: identity 00; translation 0 0 01001 then 200 and -100 in
    // 9 bits; scale 0.5 is 0x8000 in 16.16, 17 bits: 1 10001 then twice
    // 0 1000 0000 0000 0000.
    QTest::newRow("place, moved") << Build([](SwfWriter &w) {
        w.placeObject(1, w.defineShape(filled(triangle())), Matrix::translation({10, -5}));
    }) << int(SwfTag::PlaceObject2)
                                  << hex("06 01 00 01 00 12 C8 CE 00");
    QTest::newRow("place") << Build([](SwfWriter &w) {
        w.placeObject(2, w.defineShape(filled(triangle())));
    }) << int(SwfTag::PlaceObject2)
                           << hex("06 02 00 01 00 00");
    QTest::newRow("move, scaled") << Build([](SwfWriter &w) {
        Matrix half;
        half.scaleX = half.scaleY = 0.5;
        w.moveObject(2, half);
    }) << int(SwfTag::PlaceObject2)
                                  << hex("05 02 00 C5 00 00 80 00 00");
    QTest::newRow("replace") << Build([](SwfWriter &w) {
        w.replaceObject(2, w.defineShape(filled(triangle())));
    }) << int(SwfTag::PlaceObject2)
                             << hex("03 02 00 01 00");
    QTest::newRow("remove") << Build([](SwfWriter &w) { w.removeObject(2); })
                            << int(SwfTag::RemoveObject2) << hex("02 00");

    QTest::newRow("actions") << Build([](SwfWriter &w) {
        w.doAction(ActionList().getUrl("FSCommand:quit", "").stop());
    }) << int(SwfTag::DoAction)
                             << hex("83 10 00") + "FSCommand:quit" + hex("00 00  07  00");

    // id, MP3 (2) at 22 kHz (2), 16-bit, mono: 0010 10 1 0; 1152 samples;
    // no seek samples; the frames as given. Shapes and sounds share ids.
    QTest::newRow("sound") << Build([](SwfWriter &w) {
        w.defineSound(sound(22050, false, 1152, mp3Mono22050()));
    }) << int(SwfTag::DefineSound)
                           << hex("01 00 2A 80 04 00 00 00 00") + mp3Mono22050();
    QTest::newRow("sound started once at a time") << Build([](SwfWriter &w) {
        w.defineShape(filled(triangle()));
        w.startSound(w.defineSound(sound(22050, false, 1152, mp3Mono22050())), true);
    }) << int(SwfTag::StartSound) << hex("02 00 10");
}

void TestSwfWriter::byteLayouts()
{
    QFETCH(Build, build);
    QFETCH(int, tag);
    QFETCH(QByteArray, expected);
    SwfWriter writer(stage550x400());
    build(writer);
    const QByteArray file = writer.finish(SwfWriter::Compression::None);
    const int firstTag = 8 + 9 + 4 + 6; // header, stage, rate and count, FileAttributes
    const QByteArray written = tag > 0    ? onlyTag(file, tag)
                               : tag == 0 ? file
                                          : file.mid(firstTag, expected.size());
    QCOMPARE(written.toHex(' '), expected.toHex(' '));
}

void TestSwfWriter::shapeReadsBack()
{
    ShapePath second;
    second.moveTo({5.05, -3});
    second.quadTo({7, -3}, {7, 1});
    second.moveTo({20, 20});
    second.lineTo({21, 20});
    const LineStyle line{2.0, Rgba{0, 0, 255, 128}};
    const Shape shape{{{triangle(), Rgba{1, 2, 3, 4}, std::nullopt},
                       {second, std::nullopt, line},
                       {triangle(), Rgba{1, 2, 3, 4}, line}}};
    SwfWriter writer(stage550x400());
    writer.defineShape(shape);
    const SwfShape read =
        decodeShape(onlyTag(writer.finish(SwfWriter::Compression::None), SwfTag::DefineShape3));

    QCOMPARE(read.fills.size(), 1); // shared by both filled parts
    QCOMPARE(read.lineWidths, QList<quint16>{40});
    QCOMPARE(read.lineColors.first().a, quint8(128));
    // Bounds grow by half the line width: 20 twips.
    QCOMPARE(read.boundsTwips, QRect(QPoint(-20, -80), QPoint(440, 420)));
    QCOMPARE(read.figures.size(), 4);
    const QList<QPair<int, int>> fillAndLine{{1, 0}, {0, 1}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) // styles carry over to a later move
        QCOMPARE(qMakePair(read.figures[i].fillStyle0, read.figures[i].lineStyle), fillAndLine[i]);
    QCOMPARE(read.figures[1].start, QPoint(101, -60)); // 5.05 px rounds to 101 twips
    QCOMPARE(read.figures[1].edges.size(), 1);
    QVERIFY(read.figures[1].edges[0].curved);
    QCOMPARE(read.figures[1].edges[0].control, QPoint(140, -60));
    QCOMPARE(read.figures[1].edges[0].end, QPoint(140, 20));
    QCOMPARE(read.figures[2].start, QPoint(400, 400));
    // Closing the triangle returns exactly to its start.
    QCOMPARE(read.figures[3].edges.last().end, read.figures[3].start);
}

void TestSwfWriter::malformedInputIsRefused_data()
{
    QTest::addColumn<Build>("misuse");
    const auto shapeOf = [](const ShapePath &path) {
        return Build([path](SwfWriter &w) { w.defineShape(filled(path)); });
    };
    const auto soundOf = [](const Mp3Sound &mp3) {
        return Build([mp3](SwfWriter &w) { w.defineSound(mp3); });
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
    QTest::newRow("depth 0") << Build([](SwfWriter &w) { w.placeObject(0, 1); });
    QTest::newRow("depth too deep") << Build([](SwfWriter &w) { w.placeObject(65536, 1); });
    QTest::newRow("scale too large") << Build([huge](SwfWriter &w) { w.placeObject(1, 1, huge); });
    QTest::newRow("translation too far") << Build([](SwfWriter &w) {
        w.moveObject(1, Matrix::translation({6e7, 0}));
    });
    QTest::newRow("sound at 48 kHz")
        << soundOf(sound(48000, false, 1152, hex("FF FB 94 C0") + QByteArray(100, '\0')));
    QTest::newRow("sound rate differs from data")
        << soundOf(sound(44100, false, 1152, mp3Mono22050()));
    QTest::newRow("stereo declared, mono data")
        << soundOf(sound(22050, true, 1152, mp3Mono22050()));
    QTest::newRow("sound data not MP3")
        << soundOf(sound(22050, false, 1152, QByteArray("RIFF....WAVEfmt ")));
    QTest::newRow("sound without samples") << soundOf(sound(22050, false, 0, mp3Mono22050()));
    QTest::newRow("start a shape as sound") << Build([](SwfWriter &w) { w.startSound(1); });
    QTest::newRow("place a sound") << Build([](SwfWriter &w) { w.placeObject(2, 2); });
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
        writer.defineSound(sound(22050, false, 1152, mp3Mono22050()));
        writer.showFrame();
    };
    SwfWriter clean(stage550x400());
    start(clean);
    SwfWriter refused(stage550x400());
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
