// SPDX-License-Identifier: GPL-3.0-or-later
// How quickly the window handles its character list: start-up (filling the
// list and restoring the remembered character), End in the list (stepping to
// the last item) and typing the last character into the search box, each
// timed over several runs. The movie area plays nothing, so what is timed is
// the window's own work, the staging of each movie included.
//
//   zorvina-listbench <application folder copy> [runs]

#include "appfolder.h"
#include "dialogs.h"
#include "frmmain.h"
#include "movieplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>
#include <cstdio>

namespace {

class SilentDialogs : public Dialogs
{
public:
    void showMessage(QWidget *, const QString &) override {}
};

class IdlePlayer : public MoviePlayer
{
public:
    QWidget *widget() override { return new QWidget; }
    void LoadMovie(int, const QString &) override {}
};

// Milliseconds until fn and the events it posted are done.
template <typename Fn> double timed(Fn fn)
{
    QElapsedTimer clock;
    clock.start();
    fn();
    QApplication::processEvents();
    return clock.nsecsElapsed() / 1e6;
}

void print(const char *what, QList<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-22s median %8.2f ms  min %8.2f  max %8.2f\n", what, times[times.size() / 2],
                times.first(), times.last());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: zorvina-listbench <application folder copy> [runs]\n");
        return 2;
    }
    const AppFolder folder(args.at(1));
    const int runs = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 10;
    QList<double> startUp, end, search;
    int items = 0;
    for (int run = 0; run < runs; ++run) {
        SilentDialogs dialogs;
        IdlePlayer player;
        frmMain window(folder, player, dialogs);
        startUp.append(timed([&] {
            window.load();
            window.show();
        }));
        auto *list = window.findChild<QListWidget *>(QStringLiteral("List1"));
        auto *box = window.findChild<QLineEdit *>(QStringLiteral("txtInput"));
        if (!list || !box || list->count() == 0) {
            std::fprintf(stderr, "zorvina-listbench: no list to step through\n");
            return 1;
        }
        items = list->count();
        const QString last = list->item(items - 1)->text();
        list->setFocus();
        end.append(timed([&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
            QApplication::sendEvent(list, &press);
        }));
        const bool endReached = list->currentRow() == items - 1;
        list->setCurrentRow(0);
        search.append(timed([&] { box->setText(last); }));
        if (!endReached || list->currentRow() != items - 1) {
            std::fprintf(stderr, "zorvina-listbench: End or search did not reach the last item\n");
            return 1;
        }
    }
    std::printf("%d items, %d runs\n", items, runs);
    print("start-up", startUp);
    print("End to the last item", end);
    print("search for the last", search);
    return 0;
}
