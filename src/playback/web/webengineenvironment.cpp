// SPDX-License-Identifier: GPL-3.0-or-later
#include "webengineenvironment.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

QByteArray chromiumFlags(const QByteArray &userFlags)
{
    // Ruffle's WebAssembly draws the stroke movies just as quickly with V8's
    // baseline compiler alone; the optimising one held some 50 MB more. A
    // heap kept small and Chromium's settings for small machines take some
    // 12 MB more off the page, with no slower start or switch measured.
    // Qt hands a quoted switch value on whole.
    const QByteArray flags = QByteArrayLiteral(
        "--js-flags=\"--liftoff-only --optimize-for-size --max-semi-space-size=1\" "
        "--enable-low-end-device-mode");
    const QByteArray user = userFlags.trimmed();
    return user.isEmpty() ? flags : flags + ' ' + user;
}

void prepareWebEngineEnvironment()
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
    // Qt WebEngine shares its contexts with the program's, and this has to
    // be known before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Nothing needs OpenGL on X, where Qt would still open it for a context
    // nobody draws with: that loads the GL driver (some 45 MB, and a slower
    // first window) and has Mesa write a shader cache into the user's home
    // folder. Qt says on the console that it found no OpenGL.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // Qt WebEngine 6.4 describes its graphics set-up on every start, which is
    // of no use to the child at the keyboard. QT_LOGGING_RULES still wins.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", chromiumFlags(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
}
