// SPDX-License-Identifier: GPL-3.0-or-later
// How the writing practice judges strokes over the whole default list: how
// often a stroke's own centre line is accepted, its reversal and the other
// strokes refused, how acceptance falls as the line is moved off its place
// (the tolerance a child gets), and how long one judgement takes.
//
//   zorvina-matcherrates [hanzi.ini]   (default: the built application's)

#include "characterdata.h"
#include "strokematcher.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

using practice::matchStroke;

namespace {

struct Tally
{
    long right = 0;
    long total = 0;

    void count(bool ok)
    {
        ++total;
        right += ok ? 1 : 0;
    }
    void print(const char *what) const
    {
        std::printf("%-34s %8ld of %8ld  %7.3f %%\n", what, right, total,
                    total ? 100.0 * right / total : 0.0);
    }
};

// Microseconds spent in each judgement.
QList<double> g_times;

bool accepted(const QPolygonF &drawn, const QList<QPolygonF> &medians, int expected)
{
    QElapsedTimer clock;
    clock.start();
    const bool result = matchStroke(drawn, medians, expected).accepted;
    g_times.append(clock.nsecsElapsed() / 1e3);
    return result;
}

QPolygonF reversed(const QPolygonF &path)
{
    QPolygonF out;
    std::reverse_copy(path.cbegin(), path.cend(), std::back_inserter(out));
    return out;
}

QPolygonF shifted(const QPolygonF &path, double angle, double distance)
{
    return path.translated(QPointF(std::cos(angle), std::sin(angle)) * distance);
}

double percentile(const QList<double> &sorted, double share)
{
    return sorted[std::min(int(sorted.size()) - 1, int(share * sorted.size()))];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString list = args.size() > 1 ? args[1] : QStringLiteral(ZORVINA_APP_DIR "/hanzi.ini");
    const QStringList characters = readCharacterList(list);

    const QList<double> shifts{20, 40, 60, 80, 100, 120, 150, 200};
    QList<Tally> moved(shifts.size());
    Tally own, reverse, others;
    QRandomGenerator random(1);
    for (const QString &character : characters) {
        const QList<QPolygonF> medians =
            loadCharacter(QStringLiteral(ZORVINA_HANZI_DATA), character).medians;
        for (int i = 0; i < medians.size(); ++i) {
            own.count(accepted(medians[i], medians, i));
            reverse.count(!accepted(reversed(medians[i]), medians, i));
            for (int j = 0; j < medians.size(); ++j) {
                if (j != i)
                    others.count(!accepted(medians[j], medians, i));
            }
            for (int k = 0; k < shifts.size(); ++k) {
                const double angle = random.generateDouble() * 2 * M_PI;
                moved[k].count(accepted(shifted(medians[i], angle, shifts[k]), medians, i));
            }
        }
    }

    std::printf("%lld characters\n", static_cast<long long>(characters.size()));
    own.print("centre line accepted");
    reverse.print("reversed refused");
    others.print("other strokes refused");
    for (int k = 0; k < shifts.size(); ++k)
        moved[k].print(qPrintable(QStringLiteral("moved %1 units accepted").arg(shifts[k])));

    std::sort(g_times.begin(), g_times.end());
    std::printf("judgement: median %.1f us, p90 %.1f, p99 %.1f, max %.1f (%lld judgements)\n",
                percentile(g_times, 0.5), percentile(g_times, 0.9), percentile(g_times, 0.99),
                g_times.last(), static_cast<long long>(g_times.size()));

    // The costliest input: a long press that sent 100,000 events.
    QPolygonF longPath;
    for (int i = 0; i < 100000; ++i)
        longPath.append(QPointF(100 + 800.0 * i / 99999, 500 + (i % 3) - 1));
    const QList<QPolygonF> bars{QPolygonF{{100, 500}, {900, 500}}};
    g_times.clear();
    for (int run = 0; run < 20; ++run)
        accepted(longPath, bars, 0);
    std::sort(g_times.begin(), g_times.end());
    std::printf("100,000-point path: median %.1f us, max %.1f\n", percentile(g_times, 0.5),
                g_times.last());
    return 0;
}
