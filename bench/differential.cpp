// SPDX-License-Identifier: GPL-3.0-or-later
// Compares the native player with the web player (Ruffle) still by still:
//   differential [options] <movie files or folders...>
//     --frames 1,10,last   frames to compare in each movie (default 1,10,last)
//     --sample N           only every N-th movie of the files and folders given
//     --features           also the feature movies, at their own frames
//     --write-features DIR writes the feature movies there and ends
//     --out DIR            where the pictures of the worst stills go
//     --worst N            how many of the worst stills to keep (default 20)
//     --tolerance C        channel difference that counts (default 40)
//     --fraction F         share of pixels allowed past it (default 0.01)
//     --rate FPS           frame rate of the web player's stills (default 120)
// Prints one line per still, then a summary; exits 1 when a still is
// outside the tolerance, 2 on bad arguments.
#include "featuremovies.h"
#include "stillcompare.h"
#include "swferror.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <map>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

struct Job
{
    QString name;
    QByteArray bytes;
    QList<int> frames; // 0: the last
    bool wholeMovie = false;
    bool native = true;
};

struct Result
{
    QString name;
    int frame = 0;
    stills::Difference difference;
    QImage web, native;
    QString error;
};

QList<int> parseFrames(const QString &text, bool *ok)
{
    QList<int> frames;
    *ok = true;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("last")) {
            frames.append(0);
            continue;
        }
        const int frame = part.toInt(ok);
        if (!*ok || frame < 1)
            return *ok = false, frames;
        frames.append(frame);
    }
    *ok = *ok && !frames.isEmpty();
    return frames;
}

QStringList movieFiles(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        if (QFileInfo(path).isDir()) {
            QStringList inFolder;
            QDirIterator it(path, {QStringLiteral("*.haz"), QStringLiteral("*.swf")}, QDir::Files);
            while (it.hasNext())
                inFolder.append(it.next());
            inFolder.sort();
            files += inFolder;
        } else {
            files.append(path);
        }
    }
    return files;
}

void writePictures(const QString &dir, int rank, const Result &r)
{
    const QString base = QStringLiteral("%1/%2-%3-frame%4")
                             .arg(dir)
                             .arg(rank, 2, 10, QLatin1Char('0'))
                             .arg(QFileInfo(r.name).completeBaseName())
                             .arg(r.frame);
    r.web.save(base + QStringLiteral("-web.png"));
    r.native.save(base + QStringLiteral("-native.png"));
    if (!r.difference.picture.isNull())
        r.difference.picture.save(base + QStringLiteral("-diff.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineProcess();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("movies"), QStringLiteral("Files or folders."));
    const QCommandLineOption framesOption(QStringLiteral("frames"), QStringLiteral("Frames."),
                                          QStringLiteral("list"), QStringLiteral("1,10,last"));
    const QCommandLineOption sampleOption(QStringLiteral("sample"), QStringLiteral("Every N-th."),
                                          QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption featuresOption(QStringLiteral("features"),
                                            QStringLiteral("Feature movies too."));
    const QCommandLineOption writeOption(QStringLiteral("write-features"),
                                         QStringLiteral("Write them."), QStringLiteral("dir"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Pictures."),
                                       QStringLiteral("dir"), QStringLiteral("differential-out"));
    const QCommandLineOption worstOption(QStringLiteral("worst"), QStringLiteral("Kept."),
                                         QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption toleranceOption(QStringLiteral("tolerance"), QStringLiteral("C."),
                                             QStringLiteral("C"), QStringLiteral("40"));
    const QCommandLineOption fractionOption(QStringLiteral("fraction"), QStringLiteral("F."),
                                            QStringLiteral("F"), QStringLiteral("0.01"));
    const QCommandLineOption rateOption(QStringLiteral("rate"), QStringLiteral("FPS."),
                                        QStringLiteral("fps"), QStringLiteral("120"));
    parser.addOptions({framesOption, sampleOption, featuresOption, writeOption, outOption,
                       worstOption, toleranceOption, fractionOption, rateOption});
    parser.addHelpOption();
    parser.process(app);

    bool ok = true;
    const QList<int> frames = parseFrames(parser.value(framesOption), &ok);
    const int sample = parser.value(sampleOption).toInt();
    const int worst = parser.value(worstOption).toInt();
    stills::Tolerance tolerance;
    tolerance.channel = parser.value(toleranceOption).toInt();
    tolerance.fraction = parser.value(fractionOption).toDouble();
    const double rate = parser.value(rateOption).toDouble();
    if (!ok || sample < 1 || worst < 0 || tolerance.channel < 0 || tolerance.fraction < 0 ||
        rate <= 0) {
        std::fputs("differential: bad --frames, --sample, --worst, --tolerance, --fraction or "
                   "--rate\n",
                   stderr);
        return 2;
    }

    QList<Job> jobs;
    if (parser.isSet(featuresOption) || parser.isSet(writeOption)) {
        for (const FeatureMovie &m : featureMovies())
            jobs.append({m.name, m.bytes, m.frames, m.wholeMovie, m.native});
    }
    if (parser.isSet(writeOption)) {
        const QString dir = parser.value(writeOption);
        QDir().mkpath(dir);
        for (const Job &job : jobs) {
            QFile file(QStringLiteral("%1/%2.swf").arg(dir, job.name));
            if (!file.open(QIODevice::WriteOnly) || file.write(job.bytes) != job.bytes.size()) {
                std::fprintf(stderr, "differential: cannot write %s\n",
                             qPrintable(file.fileName()));
                return 2;
            }
        }
        say(QStringLiteral("wrote %1 feature movies to %2").arg(jobs.size()).arg(dir));
        return 0;
    }
    const QStringList files = movieFiles(parser.positionalArguments());
    for (int i = 0; i < files.size(); i += sample) {
        QFile file(files[i]);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "differential: cannot read %s\n", qPrintable(files[i]));
            return 2;
        }
        jobs.append({files[i], file.readAll(), frames, false, true});
    }
    if (jobs.isEmpty()) {
        std::fputs("differential: no movies; give files, folders or --features\n", stderr);
        return 2;
    }

    stills::WebStills web(QStringLiteral(ZORVINA_APP_DIR "/ruffle"));
    if (!web.isValid()) {
        std::fputs("differential: cannot set up the web player's folder\n", stderr);
        return 2;
    }
    QList<Result> results;
    int unsupported = 0;
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    say(QStringLiteral("# still frame largest past-tolerance%(>%1) verdict")
            .arg(tolerance.channel));
    for (const Job &job : jobs) {
        const int count = stills::frameCount(job.bytes);
        if (!job.native || count == 0) {
            QString reason;
            stills::nativePicture(job.bytes, 0, QSize(8, 8), &reason);
            const bool expected = !job.native && !reason.isEmpty();
            say(QStringLiteral("%1 - - - %2 (%3)")
                    .arg(job.name,
                         expected ? QStringLiteral("unsupported, as it should be")
                                  : QStringLiteral("NOT NATIVE"),
                         reason.isEmpty() ? QStringLiteral("played natively") : reason));
            ++unsupported;
            failures += expected ? 0 : 1;
            continue;
        }
        QSet<int> done;
        for (int wanted : job.frames) {
            const int frame = wanted == 0 ? count : std::min(wanted, count);
            if (done.contains(frame))
                continue;
            done.insert(frame);
            Result r;
            r.name = job.name;
            r.frame = frame;
            try {
                const QByteArray still = job.wholeMovie ? job.bytes : stillAt(job.bytes, frame);
                const QSize size = stills::stageSize(still);
                r.native = stills::nativePicture(still, frame - 1, size, &r.error);
                const QByteArray fast = withFrameRate(still, rate);
                if (r.error.isEmpty()) {
                    r.web = web.show(
                        fast, size, int((frame - 1) * 1000 / rate),
                        [&](const QImage &picture) {
                            return tolerance.accepts(
                                stills::compare(picture, r.native, tolerance.channel));
                        },
                        15000, &r.error);
                }
            } catch (const SwfError &e) {
                r.error = e.message();
            }
            r.difference = stills::compare(r.web, r.native, tolerance.channel);
            const bool pass = r.error.isEmpty() && tolerance.accepts(r.difference);
            failures += pass ? 0 : 1;
            say(QStringLiteral("%1 %2 %3 %4 %5%6")
                    .arg(job.name)
                    .arg(frame)
                    .arg(r.difference.largest)
                    .arg(100.0 * r.difference.fractionPast(), 0, 'f', 3)
                    .arg(pass ? QStringLiteral("ok") : QStringLiteral("DIFFERENT"))
                    .arg(r.error.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(r.error)));
            results.append(r);
            // Only the worst stills' pictures are kept.
            std::sort(results.begin(), results.end(), [](const Result &a, const Result &b) {
                return a.difference.fractionPast() > b.difference.fractionPast();
            });
            if (results.size() > worst)
                results.last().web = results.last().native = results.last().difference.picture =
                    QImage();
        }
    }

    const QString out = parser.value(outOption);
    QDir().mkpath(out);
    for (int i = 0; i < std::min<int>(worst, int(results.size())); ++i)
        writePictures(out, i + 1, results[i]);

    // The distribution of the share of pixels past the tolerance.
    const QList<QPair<double, QString>> buckets = {{0.0, QStringLiteral("0%")},
                                                   {0.001, QStringLiteral("<=0.1%")},
                                                   {0.01, QStringLiteral("<=1%")},
                                                   {0.05, QStringLiteral("<=5%")},
                                                   {1.0, QStringLiteral(">5%")}};
    std::map<int, int> histogram;
    for (const Result &r : results) {
        int b = 0;
        while (b + 1 < buckets.size() && r.difference.fractionPast() > buckets[b].first)
            ++b;
        ++histogram[b];
    }
    say(QStringLiteral("# summary: %1 stills of %2 movies in %3 s, %4 not played natively, "
                       "%5 outside the tolerance (channel %6, %7% of pixels)")
            .arg(results.size())
            .arg(jobs.size())
            .arg(clock.elapsed() / 1000)
            .arg(unsupported)
            .arg(failures)
            .arg(tolerance.channel)
            .arg(100 * tolerance.fraction));
    if (!results.isEmpty())
        say(QStringLiteral("# worst: %1 frame %2, largest %3, %4% past")
                .arg(results.first().name)
                .arg(results.first().frame)
                .arg(results.first().difference.largest)
                .arg(100.0 * results.first().difference.fractionPast(), 0, 'f', 3));
    QString distribution;
    for (int b = 0; b < buckets.size(); ++b)
        distribution += QStringLiteral(" %1: %2").arg(buckets[b].second).arg(histogram[b]);
    say(QStringLiteral("# past-tolerance share:") + distribution);
    return failures ? 1 : 0;
}
