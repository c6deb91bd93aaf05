#include "webengineprocess.h"

#include "webengineplayer.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QQuickWindow>

void prepareWebEngineProcess()
{
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
