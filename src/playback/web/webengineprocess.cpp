#include "webengineprocess.h"

#include "webengineplayer.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QQuickWindow>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

void prepareWebEngineProcess()
{
#ifdef Q_OS_UNIX
    // Qt WebEngine refuses to start its sandboxed renderer as root, and some
    // families use only that account. The engine shows only the program's
    // own page and the movies of its library, so root runs without the
    // sandbox, and the log says so.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        qInfo("Zorvina runs as root: the web engine's sandbox is off.");
    }
#endif
    WebEnginePlayer::registerUrlScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // A movie area needs no GPU, and the GL driver would cost some 45 MB.
    // Composing in software also keeps Chromium from asking for GPU contexts
    // that software GL refuses, with errors on the console.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Qt WebEngine 6.4 describes its graphics set-up on every start, which is
    // of no use to the child at the keyboard. QT_LOGGING_RULES still wins.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}
