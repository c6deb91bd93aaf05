// SPDX-License-Identifier: GPL-3.0-or-later
// The writer's additions (raw tags, characters of any kind, LZMA, the
// ActionScript 3 flag) and the feature movies' own encoders, checked with
// decoders written here rather than with the code that wrote them.
#include "featuremovies.h"
#include "swferror.h"
#include "swfreader.h"
#include "swfwriter.h"

#include <QImage>
#include <QSet>
#include <QTest>
#include <cmath>
#include <lzma.h>

namespace {

SwfWriter::Header smallHeader()
{
    SwfWriter::Header header;
    header.stage = QSize(100, 80);
    return header;
}

QByteArray featureBytes(const QString &name)
{
    for (const FeatureMovie &m : featureMovies()) {
        if (m.name == name)
            return m.bytes;
    }
    qFatal("no feature movie %s", qPrintable(name));
}

QList<SwfRecord> tagsOf(const QByteArray &movie, int code)
{
    QList<SwfRecord> found;
    for (const SwfRecord &tag : readSwf(movie).tags) {
        if (tag.code == code)
            found.append(tag);
    }
    return found;
}

quint32 u32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 |
           quint32(quint8(b[at + 2])) << 16 | quint32(quint8(b[at + 3])) << 24;
}

// A "ZWS" movie as an uncompressed one, through liblzma's .lzma reader: the
// five property bytes, the known size, then the stream.
QByteArray unpackLzma(const QByteArray &zws)
{
    const quint32 length = u32(zws, 4);
    QByteArray alone = zws.mid(12, 5);
    for (int i = 0; i < 8; ++i)
        alone += char(i < 4 ? (quint64(length - 8) >> (8 * i)) & 0xff : 0);
    alone += zws.mid(17);
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&stream, UINT64_MAX) != LZMA_OK)
        return QByteArray();
    QByteArray out(int(length - 8), '\0');
    stream.next_in = reinterpret_cast<const uint8_t *>(alone.constData());
    stream.avail_in = size_t(alone.size());
    stream.next_out = reinterpret_cast<uint8_t *>(out.data());
    stream.avail_out = size_t(out.size());
    const lzma_ret result = lzma_code(&stream, LZMA_FINISH);
    lzma_end(&stream);
    if ((result != LZMA_OK && result != LZMA_STREAM_END) || stream.avail_out != 0 ||
        u32(zws, 8) != quint32(zws.size() - 17))
        return QByteArray();
    return QByteArrayLiteral("FWS") + zws.mid(3, 5) + out;
}

// IMA ADPCM as the format stores it: a code size, then packets of 4096
// samples, each starting with its first sample and step index.
QList<int> decodeAdpcm(const QByteArray &data, int count)
{
    static const int indexShift[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    QList<int> steps;
    for (double step = 7; steps.size() < 89; step *= 1.1)
        steps.append(int(step));
    BitReader in(data);
    const int bits = int(in.readUB(2)) + 2;
    QList<int> samples;
    int value = 0;
    int index = 0;
    while (samples.size() < count) {
        if (samples.size() % 4096 == 0) {
            value = in.readSB(16);
            index = int(in.readUB(6));
            samples.append(value);
            continue;
        }
        const int code = int(in.readUB(bits));
        // The exact step table matters little here: the check below wants
        // the tone's shape, and a wrong code or bit order destroys it.
        const int step = steps[index];
        int delta = step >> 3;
        if (code & 4)
            delta += step;
        if (code & 2)
            delta += step >> 1;
        if (code & 1)
            delta += step >> 2;
        value = std::clamp(value + ((code & 8) ? -delta : delta), -32768, 32767);
        index = std::clamp(index + indexShift[code & 7], 0, 88);
        samples.append(value);
    }
    return samples;
}

} // namespace

class TestFeatureMovies : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writerRefusesTagsItCannotWrite_data();
    void writerRefusesTagsItCannotWrite();
    void rawTagsAndCharactersAreWrittenAsGiven();
    void lzmaHoldsTheSameMovie();
    void actionScript3IsMarked();
    void featureMoviesAreWellFormed();
    void frameRateChangesNothingElse();
    void adpcmKeepsTheTone();
    void streamBlocksFollowTheFrames();
    void jpegTablesAndPictureMakeTheJpeg();
};

void TestFeatureMovies::writerRefusesTagsItCannotWrite_data()
{
    QTest::addColumn<bool>("character");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("End as a raw tag") << false << 0 << QStringLiteral("tag code 0");
    QTest::newRow("code past ten bits") << false << 1024 << QStringLiteral("tag code 1024");
    QTest::newRow("negative code") << false << -1 << QStringLiteral("tag code -1");
    QTest::newRow("frame end as a character") << true << 1 << QStringLiteral("tag code 1");
    QTest::newRow("character past ten bits") << true << 4000 << QStringLiteral("tag code 4000");
}

void TestFeatureMovies::writerRefusesTagsItCannotWrite()
{
    QFETCH(bool, character);
    QFETCH(int, code);
    QFETCH(QString, message);
    SwfWriter movie(smallHeader());
    movie.showFrame();
    const QByteArray before = SwfWriter(movie).finish(SwfWriter::Compression::None);
    try {
        character ? void(movie.defineCharacter(code, "x")) : movie.rawTag(code, "x");
        QFAIL("the writer wrote a tag it cannot write");
    } catch (const SwfError &e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    // Refused, the movie is as it was.
    QCOMPARE(movie.finish(SwfWriter::Compression::None), before);
}

void TestFeatureMovies::rawTagsAndCharactersAreWrittenAsGiven()
{
    SwfWriter movie(smallHeader());
    const QByteArray body(100, 'b'); // past the short header's 62 bytes
    movie.rawTag(SwfTag::FrameLabel, "label");
    const quint16 first = movie.defineCharacter(SwfTag::DefineBitsJpeg2, body);
    const quint16 second = movie.defineCharacter(SwfTag::DefineSprite, "\x01\x00\x00\x00");
    movie.placeObject(1, second);
    movie.rawTag(SwfTag::ShowFrame, QByteArray());
    QVERIFY_THROWS_EXCEPTION(SwfError, movie.rawTag(SwfTag::ShowFrame, "x"));
    const SwfMovie read = readSwf(movie.finish(SwfWriter::Compression::Zlib));
    QCOMPARE(read.frameCount, 1);
    QCOMPARE(first, quint16(1));
    QCOMPARE(second, quint16(2));
    // FileAttributes, the label, two characters, the placing, frame, end.
    QCOMPARE(read.tags.size(), 7);
    QCOMPARE(read.tags[1].body, QByteArray("label"));
    QCOMPARE(read.tags[2].code, int(SwfTag::DefineBitsJpeg2));
    QVERIFY(read.tags[2].longHeader);
    QCOMPARE(read.tags[2].body, QByteArray("\x01\x00", 2) + body);
    QCOMPARE(read.tags[3].body.left(2), QByteArray("\x02\x00", 2));
    QCOMPARE(decodePlacement(read.tags[4].body).characterId, 2);
    QCOMPARE(read.tags[5].code, int(SwfTag::ShowFrame));
}

void TestFeatureMovies::lzmaHoldsTheSameMovie()
{
    const auto make = [](SwfWriter::Compression compression) {
        SwfWriter movie(smallHeader());
        Shape shape;
        ShapePath path;
        path.moveTo({10, 10});
        path.quadTo({50, 0}, {90, 70});
        path.close();
        shape.parts.append({path, Rgba{1, 2, 3, 4}});
        for (int i = 0; i < 30; ++i)
            movie.placeObject(i + 1, movie.defineShape(shape));
        movie.showFrame();
        return movie.finish(compression);
    };
    const QByteArray plain = make(SwfWriter::Compression::None);
    const QByteArray lzma = make(SwfWriter::Compression::Lzma);
    QCOMPARE(lzma.left(3), QByteArray("ZWS"));
    QVERIFY(lzma.size() < plain.size());
    QCOMPARE(unpackLzma(lzma), plain);
    // Cut at a frame, it stays LZMA and still holds the same movie.
    QCOMPARE(unpackLzma(stillAt(lzma, 1)), stillAt(plain, 1));
}

void TestFeatureMovies::actionScript3IsMarked()
{
    for (bool as3 : {false, true}) {
        SwfWriter::Header header = smallHeader();
        header.actionScript3 = as3;
        SwfWriter movie(header);
        const SwfMovie read = readSwf(movie.finish(SwfWriter::Compression::None));
        QCOMPARE(read.tags.first().code, int(SwfTag::FileAttributes));
        QCOMPARE(read.tags.first().body, QByteArray(as3 ? "\x08\0\0\0" : "\0\0\0\0", 4));
    }
}

void TestFeatureMovies::featureMoviesAreWellFormed()
{
    const QList<FeatureMovie> movies = featureMovies();
    QSet<QString> names;
    for (const FeatureMovie &m : movies) {
        QVERIFY2(!names.contains(m.name), qPrintable(m.name));
        names.insert(m.name);
        const QByteArray plain = m.bytes.startsWith("ZWS") ? unpackLzma(m.bytes) : m.bytes;
        const SwfMovie read = readSwf(plain); // lengths, tag sizes and the End tag
        QCOMPARE(read.frameTwips, QRect(QPoint(0, 0), QPoint(4800, 3600)));
        QVERIFY2(!m.frames.isEmpty(), qPrintable(m.name));
        for (int frame : m.frames)
            QVERIFY2(frame >= 1 && (m.wholeMovie || frame <= read.frameCount), qPrintable(m.name));
        QCOMPARE(m.webReference, m.note.isEmpty());
    }
    QVERIFY(names.contains(QStringLiteral("compressed-lzma")));
    QCOMPARE(std::count_if(movies.begin(), movies.end(), [](const auto &m) { return !m.native; }),
             4);
}

void TestFeatureMovies::frameRateChangesNothingElse()
{
    const QByteArray movie = featureBytes(QStringLiteral("sound-stream"));
    const SwfMovie before = readSwf(movie);
    const SwfMovie after = readSwf(withFrameRate(movie, 60));
    QCOMPARE(before.frameRate, 24.0);
    QCOMPARE(after.frameRate, 60.0);
    QCOMPARE(after.frameCount, before.frameCount);
    QCOMPARE(after.tags.size(), before.tags.size());
    for (int i = 0; i < before.tags.size(); ++i)
        QCOMPARE(after.tags[i].body, before.tags[i].body);
    QVERIFY_THROWS_EXCEPTION(SwfError, withFrameRate(movie, 0));
}

void TestFeatureMovies::adpcmKeepsTheTone()
{
    const QList<SwfRecord> sounds =
        tagsOf(featureBytes(QStringLiteral("sound-adpcm")), SwfTag::DefineSound);
    QVERIFY(!sounds.isEmpty());
    const QByteArray body = sounds.first().body;
    QCOMPARE(quint8(body[2]) >> 4, 1); // ADPCM
    const int count = int(u32(body, 3));
    const QList<int> samples = decodeAdpcm(body.mid(7), count);
    // The tone: 440 Hz at 22050 Hz, amplitude 9000. Its correlation with a
    // sine of that pitch is near one, with any other near zero.
    const auto correlation = [&](double hz) {
        double sum = 0, norm = 0;
        for (int i = 0; i < 8000; ++i) {
            sum += samples[i] * std::sin(2 * M_PI * hz * i / 22050);
            norm += std::pow(std::sin(2 * M_PI * hz * i / 22050), 2);
        }
        return sum / norm / 9000;
    };
    QVERIFY2(correlation(440) > 0.8, qPrintable(QString::number(correlation(440))));
    QVERIFY(std::abs(correlation(523)) < 0.1);
}

void TestFeatureMovies::streamBlocksFollowTheFrames()
{
    const QByteArray movie = featureBytes(QStringLiteral("sound-stream"));
    const QList<SwfRecord> heads = tagsOf(movie, SwfTag::SoundStreamHead);
    QCOMPARE(heads.size(), 1);
    const int perFrame = quint8(heads[0].body[2]) | quint8(heads[0].body[3]) << 8;
    QCOMPARE(perFrame, 22050 / 24);
    int frame = 0;
    qint64 samples = 0;
    for (const SwfRecord &tag : readSwf(movie).tags) {
        if (tag.code == SwfTag::ShowFrame)
            ++frame;
        if (tag.code != SwfTag::SoundStreamBlock)
            continue;
        const int count = quint8(tag.body[0]) | quint8(tag.body[1]) << 8;
        // Whole MP3 frames of 576 samples, each starting with its sync word.
        QCOMPARE(count % 576, 0);
        QCOMPARE(quint8(tag.body[4]), quint8(0xff));
        samples += count;
        // The sound written so far covers this frame and runs at most one
        // MP3 frame ahead of it.
        QVERIFY(samples >= qint64(frame + 1) * perFrame || frame > 9);
        QVERIFY(samples < qint64(frame + 1) * perFrame + 576);
    }
    QCOMPARE(frame, 12);
}

void TestFeatureMovies::jpegTablesAndPictureMakeTheJpeg()
{
    const QByteArray movie = featureBytes(QStringLiteral("bits-jpeg-tables"));
    const QList<SwfRecord> tables = tagsOf(movie, SwfTag::JpegTables);
    const QList<SwfRecord> bits = tagsOf(movie, SwfTag::DefineBits);
    QCOMPARE(tables.size(), 1);
    QCOMPARE(bits.size(), 1);
    // The tables hold only quantisation and Huffman tables between SOI and
    // EOI; the picture has none of them.
    const QByteArray t = tables.first().body;
    const QByteArray picture = bits.first().body.mid(2);
    QVERIFY(t.startsWith("\xff\xd8") && t.endsWith("\xff\xd9"));
    QVERIFY(t.contains("\xff\xdb") && t.contains("\xff\xc4"));
    QVERIFY(!picture.left(picture.indexOf("\xff\xda")).contains("\xff\xdb"));
    QImage image;
    QVERIFY(image.loadFromData(t.chopped(2) + picture.mid(2), "JPG"));
    QCOMPARE(image.size(), QSize(96, 72));
    // The picture's dark square, bottom right, and its bright one.
    QVERIFY(qGray(image.pixel(70, 55)) < 60);
    QVERIFY(qGray(image.pixel(25, 20)) > 200);
}

QTEST_MAIN(TestFeatureMovies)
#include "tst_featuremovies.moc"
