// SPDX-License-Identifier: GPL-3.0-or-later
// How quickly writing practice answers the hand: characters of the library
// are practised in a 577 x 449 practice area, every stroke dragged along its
// centre line with synthesized mouse events (on every fifth character the
// first stroke is first drawn backwards, a miss). Each move and each release
// is timed from the event to the end of the repaint that shows it; the
// process's resident memory is read at the start and after every hundred
// characters. Two pictures of a practised character are written for the
// README: half-way, with a hint showing, and finished, with the star.
//
//   zorvina-practicebench <application folder> <characters> <picture folder>

#include "practicearea.h"
#include "practicedata.h"
#include "practicesession.h"
#include "soundsink.h"
#include "swfmovie.h"
#include "textfile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPaintEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <exception>

namespace {

class SilentSink : public swf::SoundSink
{
public:
    void startSound(quint16, const std::shared_ptr<const swf::Sound> &,
                    const swf::SoundStart &) override
    {
    }
    void stopAllSounds() override {}
    void streamBlock(const void *, const swf::StreamHead &, const QByteArray &) override {}
    void streamStopped(const void *) override {}
    double streamPosition(const void *) const override { return -1; }
};

// Notes when a repaint ends.
class TimedArea : public PracticeArea
{
public:
    using PracticeArea::PracticeArea;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        PracticeArea::paintEvent(event);
        ++paints;
    }
};

struct Practised
{
    practice::PracticeData data;
    std::shared_ptr<const swf::Movie> movie;
};

std::optional<Practised> load(const QString &folder, const QString &character)
{
    QFile file(folder + QStringLiteral("/hanzi/") + character + QStringLiteral(".haz"));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(file.fileName()),
                     qPrintable(file.errorString()));
        return std::nullopt;
    }
    const swf::ReadResult read = swf::readMovie(file.readAll());
    if (read.verdict != swf::ReadResult::Verdict::Native) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(file.fileName()), qPrintable(read.reason));
        return std::nullopt;
    }
    Practised practised;
    practised.movie = read.movie;
    const std::optional<practice::PracticeData> data =
        practice::readPracticeData(read.movie->privateData.value(practice::TagCode));
    if (!data) {
        std::fprintf(stderr, "%s: no readable practice data\n", qPrintable(file.fileName()));
        return std::nullopt;
    }
    practised.data = *data;
    return practised;
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The points a hand passes through along path (character units), 5 pixels
// apart.
QList<QPointF> along(const PracticeArea &area, const QPolygonF &path)
{
    QList<QPointF> points{area.toWidget(path.first())};
    for (int i = 1; i < path.size(); ++i) {
        const QPointF from = area.toWidget(path[i - 1]);
        const QPointF to = area.toWidget(path[i]);
        const int steps = std::max(1, int(std::ceil(QLineF(from, to).length() / 5)));
        for (int step = 1; step <= steps; ++step)
            points.append(from + (to - from) * step / steps);
    }
    return points;
}

// Times kept as a histogram of microseconds, allocated once, so that the
// measuring itself does not make the memory grow.
class Times
{
public:
    void add(double ms)
    {
        const qint64 us = qint64(ms * 1000);
        ++m_counts[std::min<qint64>(us, m_counts.size() - 1)];
        m_max = std::max(m_max, ms);
        ++m_total;
    }
    qint64 size() const { return m_total; }
    double max() const { return m_max; }
    // The time under which fraction of them lie, in ms.
    double percentile(double fraction) const
    {
        const qint64 rank = std::min(m_total - 1, qint64(fraction * m_total));
        qint64 seen = 0;
        for (int us = 0; us < m_counts.size(); ++us) {
            seen += m_counts[us];
            if (seen > rank)
                return us / 1000.0;
        }
        return m_max;
    }

private:
    QList<qint64> m_counts = QList<qint64>(100000, 0); // up to 100 ms
    double m_max = 0;
    qint64 m_total = 0;
};

struct Timings
{
    // Wall time, and the CPU time this thread spent: on a busy machine the
    // two differ by the time the process waited for a core.
    Times moves, movesCpu;
    Times releases, releasesCpu;
    Times starts;      // from start() to the practice's first picture: the button's press
    int unpainted = 0; // events after which nothing was repainted
};

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Sends event and lets the area repaint; records the time to the end of that
// repaint in wall and cpu unless nothing was repainted.
void timedEvent(TimedArea &area, QEvent::Type type, QPointF at, Qt::MouseButtons buttons,
                Timings *timings = nullptr, Times *wall = nullptr, Times *cpu = nullptr)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, area.mapToGlobal(at), button, buttons, Qt::NoModifier);
    const int paints = area.paints;
    const double cpuStart = threadCpuMs();
    QElapsedTimer clock;
    clock.start();
    QApplication::sendEvent(&area, &event);
    QApplication::processEvents();
    const double ms = clock.nsecsElapsed() / 1e6;
    const double cpuMs = threadCpuMs() - cpuStart;
    if (!timings)
        return;
    if (area.paints == paints) {
        ++timings->unpainted;
        return;
    }
    wall->add(ms);
    cpu->add(cpuMs);
}

void drag(TimedArea &area, const QPolygonF &path, Timings &timings)
{
    const QList<QPointF> points = along(area, path);
    timedEvent(area, QEvent::MouseButtonPress, points.first(), Qt::LeftButton);
    for (int i = 1; i < points.size(); ++i)
        timedEvent(area, QEvent::MouseMove, points[i], Qt::LeftButton, &timings, &timings.moves,
                   &timings.movesCpu);
    timedEvent(area, QEvent::MouseButtonRelease, points.last(), Qt::NoButton, &timings,
               &timings.releases, &timings.releasesCpu);
}

QPolygonF reversed(QPolygonF path)
{
    std::reverse(path.begin(), path.end());
    return path;
}

void report(const char *what, const Times &times)
{
    if (times.size() == 0) {
        std::printf("%-10s none\n", what);
        return;
    }
    std::printf("%-10s %7lld events  median %6.3f ms  p90 %6.3f ms  p99 %6.3f ms  max %7.3f ms\n",
                what, times.size(), times.percentile(0.5), times.percentile(0.9),
                times.percentile(0.99), times.max());
}

// Lets the area's animations run for ms.
void run(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

bool savePictures(const QString &folder, const QString &character, const QString &pictures)
{
    const std::optional<Practised> practised = load(folder, character);
    if (!practised)
        return false;
    const practice::PracticeData &data = practised->data;
    SilentSink sink;
    TimedArea area(&sink);
    area.resize(577, 449);
    area.show();
    area.start(data, practised->movie);
    Timings ignored;
    const int half = int(data.strokes.size()) / 2;
    for (int i = 0; i < half; ++i)
        drag(area, data.strokes[i].median, ignored);
    drag(area, reversed(data.strokes[half].median), ignored);
    run(300);
    const QString midWay =
        pictures + QStringLiteral("/practice-") + character + QStringLiteral("-hint.png");
    const QString end =
        pictures + QStringLiteral("/practice-") + character + QStringLiteral("-finished.png");
    if (!area.grab().save(midWay))
        return false;
    for (int i = half; i < data.strokes.size(); ++i)
        drag(area, data.strokes[i].median, ignored);
    run(800);
    if (!area.grab().save(end))
        return false;
    std::printf("pictures: %s %s\n", qPrintable(midWay), qPrintable(end));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: zorvina-practicebench <application folder> <characters> "
                             "<picture folder>\n");
        return 2;
    }
    const QString folder = args.at(1);
    const int wanted = std::max(1, args.at(2).toInt());
    const QString pictures = args.at(3);
    if (!QDir().mkpath(pictures)) {
        std::fprintf(stderr, "zorvina-practicebench: cannot make %s\n", qPrintable(pictures));
        return 1;
    }
    QStringList characters;
    try {
        characters = readCharacterList(folder + QStringLiteral("/hanzi.ini"));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "zorvina-practicebench: %s\n", error.what());
        return 1;
    }
    if (characters.isEmpty()) {
        std::fprintf(stderr, "zorvina-practicebench: the character list is empty\n");
        return 1;
    }
    if (!savePictures(folder, QStringLiteral("永"), pictures)) {
        std::fprintf(stderr, "zorvina-practicebench: cannot write the pictures to %s\n",
                     qPrintable(pictures));
        return 1;
    }

    SilentSink sink;
    TimedArea area(&sink);
    area.resize(577, 449);
    area.show();
    QApplication::processEvents();
    Timings timings;
    QList<qint64> resident{residentKb()};
    int practised = 0, skipped = 0, incomplete = 0;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; practised < wanted; ++i) {
        const QString character = characters.at(i % characters.size());
        const std::optional<Practised> lesson = load(folder, character);
        if (!lesson || lesson->data.strokes.isEmpty()) {
            if (++skipped > wanted)
                break;
            continue;
        }
        const int paints = area.paints;
        QElapsedTimer clock;
        clock.start();
        area.start(lesson->data, lesson->movie);
        QApplication::processEvents();
        if (area.paints > paints)
            timings.starts.add(clock.nsecsElapsed() / 1e6);
        if (practised % 5 == 0)
            drag(area, reversed(lesson->data.strokes[0].median), timings);
        for (const practice::Stroke &stroke : lesson->data.strokes)
            drag(area, stroke.median, timings);
        if (!area.session()->isFinished())
            ++incomplete;
        area.stop();
        QApplication::processEvents();
        if (++practised % 100 == 0)
            resident.append(residentKb());
    }
    std::printf("%d characters practised in %.1f s (%d skipped; %d left unfinished)\n", practised,
                wall.elapsed() / 1000.0, skipped, incomplete);
    std::printf("event to the end of its repaint, 577 x 449:\n");
    report("move", timings.moves);
    report("release", timings.releases);
    report("start", timings.starts);
    std::printf("the same in this thread's CPU time:\n");
    report("move", timings.movesCpu);
    report("release", timings.releasesCpu);
    std::printf("events with nothing to repaint: %d\n", timings.unpainted);
    std::printf("VmRSS (kB) at the start and after every 100 characters:");
    for (qint64 kb : resident)
        std::printf(" %lld", kb);
    std::printf("\n");
    return incomplete == 0 && skipped == 0 ? 0 : 1;
}
