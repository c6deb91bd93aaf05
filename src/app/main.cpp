// SPDX-License-Identifier: GPL-3.0-or-later
#include "appfolder.h"
#include "dialogs.h"
#include "frmmain.h"
#include "moviearea.h"
#include "runlock.h"
#include "sessionend.h"
#include "startup.h"
#include "webengineenvironment.h"

#include <QApplication>
#include <QDir>
#include <cstdlib>

namespace {

// The window while it runs. Qt ends the program with exit() when the display
// connection breaks (the X server went away): the character is still saved
// then, since saving touches only files.
frmMain *runningWindow = nullptr;

void saveOnExit()
{
    if (runningWindow)
        runningWindow->unloadQuietly();
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngineEnvironment();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvina"));
    QApplication::setApplicationVersion(QStringLiteral(ZORVINA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(ZORVINA_APP_ID));

    // Watch from the start, so that a session ending during start-up still
    // finds the signal handled.
    SessionEndWatcher sessionEnd;
    const AppFolder folder = AppFolder::ofProgram();
    MessageBoxes dialogs;
    if (!folder.canWrite()) {
        // Installed for a user whose home folder is missing, unset or not
        // theirs to write in: said once, before anything fails quietly.
        dialogs.showMessage(nullptr,
                            QStringLiteral("无法使用你的数据文件夹“") +
                                QDir::toNativeSeparators(folder.writingPath()) +
                                QStringLiteral("”：汉字动画无法播放，最后学习的字也无法记住。"));
    }
    const RunLock lock(folder);
    if (lock.heldElsewhere()) {
        dialogs.showMessage(nullptr, QStringLiteral("Zorvina 已经打开了，请使用已经打开的窗口。"));
        return 0;
    }
    auto *player = new MovieArea(folder, QCoreApplication::applicationDirPath() +
                                             QStringLiteral("/zorvina-webplayer.so"));
    frmMain window(folder, *player, dialogs);
    HeldMessages playerMessages(dialogs, &window);
    QObject::connect(player, &MovieArea::practiceChanged, &window, &frmMain::showPractising);
    QObject::connect(player, &MovieArea::unavailable, &window,
                     [&](const QString &message) { playerMessages.showMessage(message); });
    // Also ends a start-up whose error message nobody is there to answer.
    QObject::connect(&sessionEnd, &SessionEndWatcher::sessionEnding, &app, [&] {
        window.unloadQuietly();
        QApplication::exit(0);
    });
    if (!startUp(window, dialogs))
        return 1;
    runningWindow = &window;
    std::atexit(saveOnExit);
    window.show();
    playerMessages.release();
    const int result = app.exec();
    runningWindow = nullptr;
    return result;
}
