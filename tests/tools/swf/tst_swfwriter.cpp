// The expected bytes below were worked out by hand from the SWF file format:
// bit fields are packed most significant bit first, signed fields are two's
// complement of the given width, whole numbers are little-endian, 1 px = 20
// twips.
#include "bitwriter.h"
#include "swferror.h"
#include "swfreader.h"
#include "swfwriter.h"

#include <QTest>
#include <functional>
#include <zlib.h>

namespace {

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

// The body of the only tag with the given code in an uncompressed movie.
QByteArray onlyTag(const QByteArray &file, int code)
{
    QByteArray found;
    int count = 0;
    for (const SwfRecord &tag : readSwf(file).tags) {
        if (tag.code == code) {
            found = tag.body;
            ++count;
        }
    }
    if (count != 1)
        qFatal("expected one tag %d, found %d", code, count);
    return found;
}

// An MPEG-2 layer III frame header: 22050 Hz, mono, and a few zero bytes.
QByteArray mp3Mono22050()
{
    return hex("FF F3 40 C0") + QByteArray(100, '\0');
}

} // namespace

class TestSwfWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bitFields_data();
    void bitFields();
    void fieldWidths_data();
    void fieldWidths();
    void valueTooWideIsRefused();
    void movieHeader();
    void tagHeaders_data();
    void tagHeaders();
    void shapeEdges_data();
    void shapeEdges();
    void shapeReadsBack();
    void placements();
    void actions();
    void sound();
    void compressedRoundTrip();
    void malformedInputIsRefused_data();
    void malformedInputIsRefused();
    void readerRejectsDamagedFiles_data();
    void readerRejectsDamagedFiles();
};

void TestSwfWriter::bitFields_data()
{
    QTest::addColumn<std::function<void(BitWriter &)>>("write");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("UB 101 then 1, padded") << std::function<void(BitWriter &)>([](BitWriter &w) {
        w.writeUB(5, 3);
        w.writeUB(1, 1);
    }) << hex("B0");
    // -1 in 2 bits is 11, -3 in 3 bits is 101, 3 in 3 bits is 011.
    QTest::newRow("SB negatives") << std::function<void(BitWriter &)>([](BitWriter &w) {
        w.writeSB(-1, 2);
        w.writeSB(-3, 3);
        w.writeSB(3, 3);
    }) << hex("EB");
    QTest::newRow("zero-width field") << std::function<void(BitWriter &)>([](BitWriter &w) {
        w.writeSB(0, 0);
        w.writeUB(0, 0);
        w.writeU8(7);
    }) << hex("07");
    QTest::newRow("SB 32 bits") << std::function<void(BitWriter &)>([](BitWriter &w) {
        w.writeSB(-2, 32);
    }) << hex("FF FF FF FE");
}

void TestSwfWriter::bitFields()
{
    QFETCH(std::function<void(BitWriter &)>, write);
    QFETCH(QByteArray, expected);
    BitWriter writer;
    write(writer);
    QCOMPARE(writer.bytes().toHex(' '), expected.toHex(' '));
}

void TestSwfWriter::fieldWidths_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("signedWidth");
    QTest::addColumn<int>("unsignedWidth");

    QTest::newRow("0") << qint64(0) << 0 << 0;
    QTest::newRow("1") << qint64(1) << 2 << 1;
    QTest::newRow("-1") << qint64(-1) << 1 << -1;
    QTest::newRow("-2") << qint64(-2) << 2 << -1;
    QTest::newRow("127") << qint64(127) << 8 << 7;
    QTest::newRow("-128") << qint64(-128) << 8 << -1;
    QTest::newRow("128") << qint64(128) << 9 << 8;
    QTest::newRow("256") << qint64(256) << 10 << 9;
    QTest::newRow("65535") << qint64(65535) << 17 << 16;
    QTest::newRow("-65536") << qint64(-65536) << 17 << -1;
    QTest::newRow("-65537") << qint64(-65537) << 18 << -1;
}

void TestSwfWriter::fieldWidths()
{
    QFETCH(qint64, value);
    QFETCH(int, signedWidth);
    QFETCH(int, unsignedWidth);
    QCOMPARE(signedBits(qint32(value)), signedWidth);
    if (unsignedWidth >= 0)
        QCOMPARE(unsignedBits(quint32(value)), unsignedWidth);
}

void TestSwfWriter::valueTooWideIsRefused()
{
    BitWriter writer;
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeUB(8, 3));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeSB(4, 3));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeSB(-5, 3));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.writeString(QByteArray("a\0b", 3)));
    QVERIFY(writer.bytes().isEmpty());
}

// A 550 x 400 stage is the classic RECT 78 00 05 5F 00 00 0F A0 00: 15-bit
// fields holding 0, 11000, 0, 8000 twips.
void TestSwfWriter::movieHeader()
{
    SwfWriter writer(stage550x400());
    writer.showFrame();
    writer.showFrame();
    writer.showFrame();
    const QByteArray file = writer.finish(SwfWriter::Compression::None);

    const QByteArray expected = hex("46 57 53 0A")                  // FWS, version 10
                                + hex("23 00 00 00")                // 35 bytes in all
                                + hex("78 00 05 5F 00 00 0F A0 00") // stage
                                + hex("00 18")                      // 24.0 fps
                                + hex("03 00")                      // 3 frames
                                + hex("44 11 00 00 00 00")          // FileAttributes, AS2
                                + hex("40 00 40 00 40 00")          // ShowFrame x 3
                                + hex("00 00");                     // End
    QCOMPARE(file.toHex(' '), expected.toHex(' '));
}

void TestSwfWriter::tagHeaders_data()
{
    QTest::addColumn<int>("urlLength");
    QTest::addColumn<QByteArray>("expectedHeader");

    // DoAction is tag 12: 12 << 6 = 0x300. A GetURL body is 3 bytes of
    // header, the url and an empty target with their nulls, then the end byte.
    QTest::newRow("62 bytes: short") << 56 << hex("3E 03");
    QTest::newRow("63 bytes: long") << 57 << hex("3F 03 3F 00 00 00");
    QTest::newRow("300 bytes: long") << 294 << hex("3F 03 2C 01 00 00");
}

void TestSwfWriter::tagHeaders()
{
    QFETCH(int, urlLength);
    QFETCH(QByteArray, expectedHeader);
    SwfWriter writer(stage550x400());
    writer.doAction(ActionList().getUrl(QByteArray(urlLength, 'u')));
    const QByteArray file = writer.finish(SwfWriter::Compression::None);

    const int tagStart = 8 + 9 + 4 + 6; // header, stage, rate and count, FileAttributes
    QCOMPARE(file.mid(tagStart, expectedHeader.size()).toHex(' '), expectedHeader.toHex(' '));
}

void TestSwfWriter::shapeEdges_data()
{
    QTest::addColumn<ShapePath>("path");
    QTest::addColumn<QByteArray>("bounds");
    QTest::addColumn<QByteArray>("records");

    // Triangle (0,0) (200,0) (0,200) twips. Bounds: 9-bit fields 0 200 0 200.
    // Records: style change 0 0 1 0 1 1, move bits 00000, fill0 = 1 (1 bit);
    // horizontal +200 (9 bits: 11 0111 0 0 011001000); general -200, +200;
    // vertical -200; end 000000.
    QTest::newRow("straight edges")
        << triangle() << hex("48 01 90 00 64 00") << hex("2C 1D C6 46 F9 C3 23 76 70 00");

    // Quadratic from (0,0), control (20,0), anchor (20,20): deltas 20 0 0 20 in
    // 6 bits: 10 0100 010100 000000 000000 010100.
    ShapePath curve;
    curve.moveTo({0, 0});
    curve.quadTo({1, 0}, {1, 1});
    QTest::newRow("curved edge") << curve << hex("30 0A 00 A0") << hex("2C 19 14 00 05 00");

    // From x = 32767 twips to x = -32767: a delta of -65534 needs the widest
    // edge field, 17 bits (11 1111 0 0 then 1 0000 0000 0000 0010). The
    // bounds take 16-bit fields: 10000, -32767, 32767, 0, 0.
    ShapePath wide;
    wide.moveTo({1638.35, 0});
    wide.lineTo({-1638.35, 0});
    QTest::newRow("largest negative delta")
        << wide << hex("84 00 0B FF F8 00 00 00 00") << hex("2E 0F FF E0 00 1F C8 00 10 00");
}

void TestSwfWriter::shapeEdges()
{
    QFETCH(ShapePath, path);
    QFETCH(QByteArray, bounds);
    QFETCH(QByteArray, records);
    SwfWriter writer(stage550x400());
    QCOMPARE(writer.defineShape({{{path, Rgba{255, 0, 0, 255}, std::nullopt}}}), quint16(1));
    const QByteArray body =
        onlyTag(writer.finish(SwfWriter::Compression::None), SwfTag::DefineShape3);

    // id 1, bounds, one solid RGBA fill, no lines, 1 fill bit and 0 line bits
    const QByteArray expected =
        hex("01 00") + bounds + hex("01 00 FF 00 00 FF") + hex("00") + hex("10") + records;
    QCOMPARE(body.toHex(' '), expected.toHex(' '));
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
    QCOMPARE(read.figures[0].fillStyle0, 1);
    QCOMPARE(read.figures[0].lineStyle, 0);
    QCOMPARE(read.figures[1].fillStyle0, 0);
    QCOMPARE(read.figures[1].lineStyle, 1);
    QCOMPARE(read.figures[1].start, QPoint(101, -60)); // 5.05 px rounds to 101 twips
    QCOMPARE(read.figures[1].edges.size(), 1);
    QVERIFY(read.figures[1].edges[0].curved);
    QCOMPARE(read.figures[1].edges[0].control, QPoint(140, -60));
    QCOMPARE(read.figures[1].edges[0].end, QPoint(140, 20));
    QCOMPARE(read.figures[2].start, QPoint(400, 400));
    QCOMPARE(read.figures[2].lineStyle, 1); // styles carry over to a later move
    QCOMPARE(read.figures[3].fillStyle0, 1);
    QCOMPARE(read.figures[3].lineStyle, 1);
    // Closing the triangle returns exactly to its start.
    QCOMPARE(read.figures[3].edges.last().end, read.figures[3].start);
}

void TestSwfWriter::placements()
{
    SwfWriter writer(stage550x400());
    const quint16 id = writer.defineShape({{{triangle(), Rgba(), std::nullopt}}});
    writer.placeObject(1, id, Matrix::translation({10, -5}), 3);
    writer.placeObject(2, id);
    Matrix half;
    half.scaleX = half.scaleY = 0.5;
    writer.moveObject(2, half);
    writer.replaceObject(2, id);
    writer.removeObject(2);
    const SwfMovie movie = readSwf(writer.finish(SwfWriter::Compression::None));

    QList<QByteArray> bodies;
    for (const SwfRecord &tag : movie.tags) {
        if (tag.code == SwfTag::PlaceObject2 || tag.code == SwfTag::RemoveObject2)
            bodies.append(tag.body);
    }
    QCOMPARE(bodies.size(), 5);
    // flags: clip depth 0x40, matrix 0x04, character 0x02, move 0x01. Matrices:
    // identity 00; translation 0 0 01001 then 200 and -100 in 9 bits; scale 0.5
    // is 0x8000 in 16.16, 17 bits: 1 10001 then twice 0 1000 0000 0000 0000.
    QCOMPARE(bodies[0].toHex(' '), hex("46 01 00 01 00 12 C8 CE 00 03 00").toHex(' '));
    QCOMPARE(bodies[1].toHex(' '), hex("06 02 00 01 00 00").toHex(' '));
    QCOMPARE(bodies[2].toHex(' '), hex("05 02 00 C5 00 00 80 00 00").toHex(' '));
    QCOMPARE(bodies[3].toHex(' '), hex("03 02 00 01 00").toHex(' '));
    QCOMPARE(bodies[4].toHex(' '), hex("02 00").toHex(' '));
    const SwfPlacement mask = decodePlacement(bodies[0]);
    QCOMPARE(mask.clipDepth, 3);
    QCOMPARE(mask.matrix.translate, QPointF(10, -5));
}

void TestSwfWriter::actions()
{
    SwfWriter writer(stage550x400());
    writer.doAction(ActionList().getUrl("FSCommand:quit", "").stop().play().gotoFrame(258));
    const QByteArray body = onlyTag(writer.finish(SwfWriter::Compression::None), SwfTag::DoAction);
    const QByteArray expected = hex("83 10 00") + QByteArray("FSCommand:quit") + hex("00 00") +
                                hex("07") + hex("06") + hex("81 02 00 02 01") + hex("00");
    QCOMPARE(body.toHex(' '), expected.toHex(' '));
}

void TestSwfWriter::sound()
{
    SwfWriter writer(stage550x400());
    const quint16 shape = writer.defineShape({{{triangle(), Rgba(), std::nullopt}}});
    const Mp3Sound mp3{22050, false, 1152, 0, mp3Mono22050()};
    const quint16 id = writer.defineSound(mp3);
    QCOMPARE(id, quint16(shape + 1));
    writer.startSound(id, true);
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.startSound(shape));
    QVERIFY_THROWS_EXCEPTION(SwfError, writer.placeObject(1, id));
    const QByteArray file = writer.finish(SwfWriter::Compression::None);

    // id, MP3 (2) at 22 kHz (2), 16-bit, mono: 0010 10 1 0; 1152 samples;
    // no seek samples; the frames as given.
    const QByteArray define = onlyTag(file, SwfTag::DefineSound);
    QCOMPARE(define.left(9).toHex(' '), hex("02 00 2A 80 04 00 00 00 00").toHex(' '));
    QCOMPARE(define.mid(9), mp3.frames);
    QCOMPARE(onlyTag(file, SwfTag::StartSound).toHex(' '), hex("02 00 10").toHex(' '));
}

void TestSwfWriter::compressedRoundTrip()
{
    const auto build = [](SwfWriter::Compression compression) {
        SwfWriter writer(stage550x400());
        writer.setBackgroundColor({250, 245, 230});
        const quint16 id = writer.defineShape({{{triangle(), Rgba{9, 9, 9, 255}, std::nullopt}}});
        for (int frame = 0; frame < 50; ++frame) {
            writer.placeObject(frame + 1, id, Matrix::translation({frame * 3.0, 7}));
            writer.showFrame();
        }
        return writer.finish(compression);
    };
    const QByteArray plain = build(SwfWriter::Compression::None);
    const QByteArray packed = build(SwfWriter::Compression::Zlib);

    QVERIFY(packed.startsWith("CWS\x0a"));
    QCOMPARE(packed.mid(4, 4), plain.mid(4, 4)); // the uncompressed length
    QVERIFY(packed.size() < plain.size());
    QByteArray inflated(plain.size() - 8, '\0');
    uLongf size = uLongf(inflated.size());
    QCOMPARE(uncompress(reinterpret_cast<Bytef *>(inflated.data()), &size,
                        reinterpret_cast<const Bytef *>(packed.constData() + 8),
                        uLong(packed.size() - 8)),
             Z_OK);
    QCOMPARE(int(size), inflated.size());
    QCOMPARE(inflated, plain.mid(8));
    QCOMPARE(readSwf(packed).frameCount, 50);
    QCOMPARE(build(SwfWriter::Compression::Zlib), packed); // reproducible
}

void TestSwfWriter::malformedInputIsRefused_data()
{
    QTest::addColumn<std::function<void(SwfWriter &)>>("misuse");
    using Misuse = std::function<void(SwfWriter &)>;
    const auto shapeOf = [](const ShapePath &path) {
        return Shape{{{path, Rgba(), std::nullopt}}};
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

    QTest::newRow("coordinate out of range")
        << Misuse([=](SwfWriter &w) { w.defineShape(shapeOf(farAway)); });
    QTest::newRow("NaN control point")
        << Misuse([=](SwfWriter &w) { w.defineShape(shapeOf(notANumber)); });
    QTest::newRow("empty path") << Misuse([=](SwfWriter &w) { w.defineShape(shapeOf({})); });
    QTest::newRow("no parts") << Misuse([](SwfWriter &w) { w.defineShape(Shape()); });
    QTest::newRow("edge before move")
        << Misuse([=](SwfWriter &w) { w.defineShape(shapeOf(noMove)); });
    QTest::newRow("moves without edges")
        << Misuse([=](SwfWriter &w) { w.defineShape(shapeOf(onlyMoves)); });
    QTest::newRow("neither fill nor line") << Misuse([](SwfWriter &w) {
        w.defineShape({{{triangle(), std::nullopt, std::nullopt}}});
    });
    QTest::newRow("line too wide") << Misuse([](SwfWriter &w) {
        w.defineShape({{{triangle(), std::nullopt, LineStyle{4000.0, Rgba()}}}});
    });
    QTest::newRow("zero line width") << Misuse([](SwfWriter &w) {
        w.defineShape({{{triangle(), std::nullopt, LineStyle{0.0, Rgba()}}}});
    });
    QTest::newRow("place undefined character") << Misuse([](SwfWriter &w) { w.placeObject(1, 2); });
    QTest::newRow("depth 0") << Misuse([](SwfWriter &w) { w.placeObject(0, 1); });
    QTest::newRow("depth too deep") << Misuse([](SwfWriter &w) { w.placeObject(65536, 1); });
    QTest::newRow("clip below its depth")
        << Misuse([](SwfWriter &w) { w.placeObject(5, 1, Matrix(), 4); });
    QTest::newRow("scale too large") << Misuse([](SwfWriter &w) {
        Matrix huge;
        huge.scaleX = 20000;
        w.placeObject(1, 1, huge);
    });
    QTest::newRow("translation too far") << Misuse([](SwfWriter &w) {
        w.moveObject(1, Matrix::translation({6e7, 0}));
    });
    QTest::newRow("sound at 48 kHz") << Misuse([](SwfWriter &w) {
        w.defineSound({48000, false, 1152, 0, hex("FF FB 94 C0") + QByteArray(100, '\0')});
    });
    QTest::newRow("sound rate differs from data") << Misuse([](SwfWriter &w) {
        w.defineSound({44100, false, 1152, 0, mp3Mono22050()});
    });
    QTest::newRow("stereo declared, mono data") << Misuse([](SwfWriter &w) {
        w.defineSound({22050, true, 1152, 0, mp3Mono22050()});
    });
    QTest::newRow("sound data not MP3") << Misuse([](SwfWriter &w) {
        w.defineSound({22050, false, 1152, 0, QByteArray("RIFF....WAVEfmt ")});
    });
    QTest::newRow("sound without samples") << Misuse([](SwfWriter &w) {
        w.defineSound({22050, false, 0, 0, mp3Mono22050()});
    });
    QTest::newRow("start a shape as sound") << Misuse([](SwfWriter &w) { w.startSound(1); });
    QTest::newRow("goto frame out of range")
        << Misuse([](SwfWriter &w) { w.doAction(ActionList().stop().gotoFrame(70000)); });
    QTest::newRow("URL with null")
        << Misuse([](SwfWriter &w) { w.doAction(ActionList().getUrl(QByteArray("a\0b", 3))); });
}

// A refused call throws and leaves the movie exactly as if it had not been
// made; the finished file stays valid.
void TestSwfWriter::malformedInputIsRefused()
{
    QFETCH(std::function<void(SwfWriter &)>, misuse);
    const auto start = [](SwfWriter &writer) {
        writer.defineShape({{{triangle(), Rgba(), std::nullopt}}});
        writer.placeObject(1, 1);
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

void TestSwfWriter::readerRejectsDamagedFiles_data()
{
    QTest::addColumn<int>("cutOrFlip");
    QTest::newRow("truncated by one byte") << -1;
    QTest::newRow("truncated inside the header") << -30;
    QTest::newRow("compressed data damaged") << 12;
}

void TestSwfWriter::readerRejectsDamagedFiles()
{
    QFETCH(int, cutOrFlip);
    SwfWriter writer(stage550x400());
    writer.defineShape({{{triangle(), Rgba(), std::nullopt}}});
    writer.showFrame();
    QByteArray file =
        writer.finish(cutOrFlip < 0 ? SwfWriter::Compression::None : SwfWriter::Compression::Zlib);
    if (cutOrFlip < 0)
        file.chop(-cutOrFlip);
    else
        file[cutOrFlip] = char(file[cutOrFlip] ^ 0x5a);
    QVERIFY_THROWS_EXCEPTION(SwfError, readSwf(file));
}

QTEST_GUILESS_MAIN(TestSwfWriter)
#include "tst_swfwriter.moc"
