// SPDX-License-Identifier: GPL-3.0-or-later
// The player in a window laid out like the program's, driven through stdin
// by playerbench.py:
//   load <n>   plays movie n (a whole-stage colour, see the "colour" lines)
//   file <path> plays a copy of that file (the player plays only from Work)
// It prints, one line each, with CLOCK_MONOTONIC nanoseconds where useful:
//   colour <n> <r> <g> <b>, area <x> <y> <w> <h> (screen coordinates),
//   ready <ns>, shown <path> <ns>, failed <path> <ns>
// Movie 0 is asked for at once, as the program asks for the remembered
// character while it starts.
#include "appfolder.h"
#include "swfwriter.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

const QList<QColor> colours = {QColor(220, 30, 30),  QColor(30, 40, 200),  QColor(20, 170, 60),
                               QColor(240, 220, 20), QColor(200, 40, 200), QColor(30, 200, 210),
                               QColor(120, 60, 20),  QColor(250, 140, 0)};

qint64 now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void say(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QByteArray solidMovie(const QColor &colour)
{
    SwfWriter movie({QSize(577, 449), 24.0});
    movie.setBackgroundColor({quint8(colour.red()), quint8(colour.green()), quint8(colour.blue())});
    movie.showFrame();
    return movie.finish(SwfWriter::Compression::Zlib);
}

bool writeMovies(const QString &workFolder)
{
    for (int i = 0; i < colours.size(); ++i) {
        QFile file(QStringLiteral("%1/%2.swf").arg(workFolder).arg(i));
        const QByteArray bytes = solidMovie(colours[i]);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return false;
        say(QStringLiteral("colour %1 %2 %3 %4")
                .arg(i)
                .arg(colours[i].red())
                .arg(colours[i].green())
                .arg(colours[i].blue()));
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineProcess();
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString work = folder.filePath(QStringLiteral("Work"));
    if (!folder.isValid() || !QDir().mkpath(work) ||
        !QFile::link(QStringLiteral(ZORVINA_APP_DIR "/ruffle"),
                     folder.filePath(QStringLiteral("ruffle"))) ||
        !writeMovies(work))
        return 1;
    const auto movie = [&work](int n) { return QStringLiteral("%1/%2.swf").arg(work).arg(n); };
    int copies = 0;
    const auto copyToWork = [&work, &copies](const QString &path) {
        const QString copy = QStringLiteral("%1/copy%2.swf").arg(work).arg(++copies);
        QFile::copy(path, copy);
        return copy;
    };

    QWidget window;
    window.setWindowTitle(QStringLiteral("Zorvina player bench"));
    window.setFixedSize(701, 531);
    auto *list = new QListWidget(&window);
    list->setGeometry(8, 56, 96, 400);
    auto *player = new WebEnginePlayer(AppFolder(folder.path()), &window);
    player->setObjectName(QStringLiteral("objSh"));
    player->setGeometry(112, 8, 577, 449);
    QObject::connect(player, &WebEnginePlayer::ready,
                     [] { say(QStringLiteral("ready %1").arg(now())); });
    QObject::connect(player, &WebEnginePlayer::movieShown, [](const QString &path) {
        say(QStringLiteral("shown %1 %2").arg(path).arg(now()));
    });
    QObject::connect(player, &WebEnginePlayer::loadFailed, [](const QString &path) {
        say(QStringLiteral("failed %1 %2").arg(path).arg(now()));
    });
    QObject::connect(player, &WebEnginePlayer::unavailable, [](const QString &message) {
        say(QStringLiteral("unavailable %1").arg(message));
        QApplication::exit(2);
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[4096];
        if (!std::fgets(line, sizeof line, stdin)) {
            QApplication::quit();
            return;
        }
        const QString command = QString::fromUtf8(line).trimmed();
        if (command.startsWith(QLatin1String("load ")))
            player->LoadMovie(0, movie(command.mid(5).toInt()));
        else if (command.startsWith(QLatin1String("file ")))
            player->LoadMovie(0, copyToWork(command.mid(5)));
        else if (command == QLatin1String("quit"))
            QApplication::quit();
    });

    window.show();
    list->setFocus();
    player->LoadMovie(0, movie(0));
    const QPoint area = player->mapToGlobal(QPoint(0, 0));
    say(QStringLiteral("area %1 %2 %3 %4").arg(area.x()).arg(area.y()).arg(577).arg(449));
    return app.exec();
}
