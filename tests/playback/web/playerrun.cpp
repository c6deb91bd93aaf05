// SPDX-License-Identifier: GPL-3.0-or-later
// Plays one movie in the player and ends as soon as its first frame is shown
// (exit code 0); used to watch what a run leaves behind and prints.
#include "appfolder.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    prepareWebEngineProcess();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 64;
    WebEnginePlayer player{AppFolder(args[1])};
    player.resize(577, 449);
    player.show();
    QObject::connect(&player, &WebEnginePlayer::movieShown, &app, [] { QApplication::exit(0); });
    QObject::connect(&player, &WebEnginePlayer::unavailable, &app, [] { QApplication::exit(2); });
    QObject::connect(&player, &WebEnginePlayer::loadFailed, &app, [] { QApplication::exit(3); });
    // A safety net for a player that hangs, far beyond any normal start.
    QTimer::singleShot(60000, &app, [] { QApplication::exit(4); });
    player.LoadMovie(0, args[2]);
    return app.exec();
}
