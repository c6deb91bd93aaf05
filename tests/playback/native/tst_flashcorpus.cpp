// SPDX-License-Identifier: GPL-3.0-or-later
// Movies made with Flash, each beside the picture a Flash player shows after
// a number of frames: the reader, the stage and the renderer together must
// draw the same picture within the folder's tolerance.

#include "renderer.h"
#include "stage.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace swf;

namespace {

struct Comparison
{
    int numFrames = 1;
    int tolerance = 0;
    int maxOutliers = 0;
    bool highQuality = true; // the picture was taken at Flash's high quality
    bool optional = false;   // a renderer may legitimately draw it differently
};

// The few keys the comparison needs, read line by line.
Comparison readSettings(const QString &path)
{
    QFile file(path);
    Comparison settings;
    if (!file.open(QIODevice::ReadOnly))
        return settings;
    static const QRegularExpression lowQuality(QStringLiteral("quality\\s*=\\s*\"low\""));
    static const QRegularExpression optional(QStringLiteral("optional\\s*=\\s*true"));
    static const QRegularExpression entry(QStringLiteral("^\\s*(\\w+)\\s*=\\s*(\\d+)\\s*$"));
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (lowQuality.match(line).hasMatch())
            settings.highQuality = false;
        if (optional.match(line).hasMatch())
            settings.optional = true;
        const QRegularExpressionMatch match = entry.match(line);
        if (!match.hasMatch())
            continue;
        const QString key = match.captured(1);
        const int value = match.captured(2).toInt();
        if (key == QLatin1String("num_frames"))
            settings.numFrames = value;
        else if (key == QLatin1String("tolerance"))
            settings.tolerance = value;
        else if (key == QLatin1String("max_outliers"))
            settings.maxOutliers = value;
    }
    return settings;
}

QImage render(const std::shared_ptr<const Movie> &movie, int frames, bool highQuality)
{
    Stage stage(movie);
    for (int frame = 1; frame < frames; ++frame)
        stage.advance();
    const QSize size = (movie->stage.size() / 20).toSize();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(movie->background);
    QPainter painter(&image);
    Renderer renderer(movie);
    renderer.setHighQuality(highQuality);
    renderer.paint(painter, stage.root(), Renderer::showAll(movie->stage, image.rect()));
    return image;
}

struct Difference
{
    int outliers = 0;
    int worst = 0;
};

Difference compare(const QImage &rendered, const QImage &expected, int tolerance)
{
    const QImage a = rendered.convertToFormat(QImage::Format_ARGB32);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32);
    Difference difference;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int channel =
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            difference.worst = std::max(difference.worst, channel);
            if (channel > tolerance)
                ++difference.outliers;
        }
    }
    return difference;
}

} // namespace

class FlashCorpusTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void matches_data();
    void matches();
    void cleanupTestCase();

private:
    QDir m_corpus{QStringLiteral(ZORVINA_FLASH_CORPUS)};
    QTemporaryDir m_renderings;
    int m_matching = 0;
    int m_differing = 0;
    int m_optionalDiffering = 0;
    int m_notNative = 0;
};

void FlashCorpusTest::initTestCase()
{
    if (!m_corpus.exists())
        QSKIP("the Flash-authored movies are not on this machine");
    QVERIFY(m_renderings.isValid());
}

void FlashCorpusTest::matches_data()
{
    QTest::addColumn<QString>("folder");
    const QStringList folders = m_corpus.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &folder : folders) {
        if (QFile::exists(m_corpus.filePath(folder + QStringLiteral("/test.swf"))))
            QTest::newRow(qPrintable(folder)) << m_corpus.filePath(folder);
    }
}

void FlashCorpusTest::matches()
{
    QFETCH(QString, folder);
    const QDir dir(folder);
    QFile file(dir.filePath(QStringLiteral("test.swf")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const ReadResult read = readMovie(file.readAll());
    if (read.verdict != ReadResult::Verdict::Native) {
        ++m_notNative;
        QSKIP(qPrintable(QStringLiteral("not played natively: ") + read.reason));
    }
    const Comparison settings = readSettings(dir.filePath(QStringLiteral("test.toml")));
    const QImage expected(dir.filePath(QStringLiteral("output.expected.png")));
    QVERIFY(!expected.isNull());
    const QImage rendered = render(read.movie, settings.numFrames, settings.highQuality);
    QCOMPARE(rendered.size(), expected.size());
    const Difference difference = compare(rendered, expected, settings.tolerance);
    if (difference.outliers <= settings.maxOutliers) {
        ++m_matching;
        return;
    }
    m_renderings.setAutoRemove(false);
    const QString saved = m_renderings.filePath(dir.dirName() + QStringLiteral(".png"));
    QVERIFY(rendered.save(saved));
    const QString report = QStringLiteral("%1 pixels differ by more than %2 (at most %3 may; the "
                                          "largest difference is %4); the rendering is %5")
                               .arg(difference.outliers)
                               .arg(settings.tolerance)
                               .arg(settings.maxOutliers)
                               .arg(difference.worst)
                               .arg(saved);
    // A folder must match within its tolerance, unless its own authors mark
    // the renderer optional there: they know that a renderer may draw it
    // differently and still be right (low quality's edge pixels depend on
    // exactly how curves are cut into lines). Such a folder only reports
    // how far off it is.
    if (settings.optional) {
        ++m_optionalDiffering;
        qInfo("optional: %s", qPrintable(report));
        return;
    }
    ++m_differing;
    QFAIL(qPrintable(report));
}

void FlashCorpusTest::cleanupTestCase()
{
    qInfo("%d matching, %d differing, %d differing where that is allowed, %d not played natively",
          m_matching, m_differing, m_optionalDiffering, m_notNative);
}

QTEST_GUILESS_MAIN(FlashCorpusTest)
#include "tst_flashcorpus.moc"
