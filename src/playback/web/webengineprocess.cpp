// SPDX-License-Identifier: GPL-3.0-or-later
#include "webengineprocess.h"

#include "webengineplayer.h"

#include <QQuickWindow>

void prepareWebEngineLate()
{
    WebEnginePlayer::registerUrlScheme();
    // A movie area needs no GPU: Ruffle draws on a 2D canvas, and Qt Quick,
    // which Qt WebEngine draws through, composes in software.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void prepareWebEngineProcess()
{
    prepareWebEngineEnvironment();
    prepareWebEngineLate();
}
