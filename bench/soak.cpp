// SPDX-License-Identifier: GPL-3.0-or-later
// Steadiness over thousands of selections: drives the real window and player
// through next, previous and search selections, and reports the memory of the
// whole program (all its processes) at the start, after every thousand
// selections and at the end, and whether the working folders are left clean.
// The pace is the time between selections: 500 ms is a child clicking on,
// 5 ms is as fast as the program takes them.
//
//   zorvina-soak <application folder copy> [selections] [pace in ms]

#include "appfolder.h"
#include "characterlist.h"
#include "dialogs.h"
#include "frmmain.h"
#include "picturebutton.h"
#include "processmemory.h"
#include "searchbox.h"
#include "moviearea.h"
#include "webengineenvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

class SilentDialogs : public Dialogs
{
public:
    void showMessage(QWidget *, const QString &) override { ++count; }
    int count = 0;
};

void printMemory(const char *when)
{
    qint64 total = 0;
    for (const ProcessMemory &process : programMemory()) {
        std::printf("  %-28s %8.1f MB\n", qPrintable(process.name), process.pss / 1048576.0);
        total += process.pss;
    }
    std::printf("memory %s: %.1f MB (PSS, all processes)\n", when, total / 1048576.0);
}

int staleFiles(const QString &folder, const QString &pattern)
{
    return QDir(folder, pattern).entryList(QDir::Files).size();
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: zorvina-soak <application folder copy> [selections] [pace in ms]\n");
        return 2;
    }
    const AppFolder folder(args.at(1));
    const int selections = args.size() > 2 ? args.at(2).toInt() : 5000;
    const int pace = args.size() > 3 ? args.at(3).toInt() : 5;

    SilentDialogs dialogs;
    auto *player = new MovieArea(
        folder, QCoreApplication::applicationDirPath() + QStringLiteral("/../app/zorvina-webplayer.so"));
    frmMain window(folder, *player, dialogs);
    window.load();
    window.show();

    QElapsedTimer clock;
    clock.start();
    qint64 startPss = 0;
    int done = 0;
    int shown = 0;
    QList<qint64> samples;
    QTimer step;
    step.setInterval(pace);
    QObject::connect(player, &MovieArea::movieShown, &app, [&] {
        ++shown;
        if (startPss == 0) {
            startPss = wholeProgramPss();
            printMemory("at start");
            std::fflush(stdout);
            step.start();
        }
    });
    // The controls by object name, as a user's tools would see them.
    auto *list = window.findChild<CharacterList *>(QStringLiteral("List1"));
    auto *up = window.findChild<PictureButton *>(QStringLiteral("cmdUp"));
    auto *down = window.findChild<PictureButton *>(QStringLiteral("cmdDown"));
    auto *box = window.findChild<SearchBox *>(QStringLiteral("txtInput"));
    QObject::connect(&step, &QTimer::timeout, &app, [&] {
        const int count = list->count();
        switch (done % 3) {
        case 0:
            down->click();
            break;
        case 1:
            up->click();
            break;
        default:
            box->setText(list->item((done * 7) % count)->text());
            break;
        }
        // Memory rises and falls as the player replaces its frame: sampled
        // every hundred selections, each thousand reported by its spread.
        if (++done % 100 == 0)
            samples.append(wholeProgramPss());
        if (done % 1000 == 0) {
            std::sort(samples.begin(), samples.end());
            const qint64 median = samples.at(samples.size() / 2);
            std::printf("after %5d selections, %4.0f s, %5d movies shown: %.1f MB (%.1f-%.1f), "
                        "%+.1f MB\n",
                        done, clock.elapsed() / 1000.0, shown, median / 1048576.0,
                        samples.first() / 1048576.0, samples.last() / 1048576.0,
                        (median - startPss) / 1048576.0);
            std::fflush(stdout);
            samples.clear();
        }
        if (done == selections) {
            step.stop();
            // Let the last movie show before measuring.
            QTimer::singleShot(2000, &app, [&] {
                std::printf("selections: %d in %.1f s, %d movies shown\n", done,
                            clock.elapsed() / 1000.0, shown);
                printMemory("at end");
                std::printf("change: %+.1f MB\n", (wholeProgramPss() - startPss) / 1048576.0);
                window.close();
            });
        }
    });
    if (list->count() == 0) {
        std::fprintf(stderr, "the character list is empty\n");
        return 1;
    }
    const int result = app.exec();
    std::printf("after close: %d .swf in Work, %d .haz in Temp, messages shown: %d\n",
                staleFiles(folder.path() + QStringLiteral("/Work"), QStringLiteral("*.swf")),
                staleFiles(folder.path() + QStringLiteral("/Temp"), QStringLiteral("*.haz")),
                dialogs.count);
    return result;
}
