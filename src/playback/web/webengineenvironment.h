// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_WEBENGINEENVIRONMENT_H
#define ZORVINA_WEBENGINEENVIRONMENT_H

#include <QByteArray>

// What Qt WebEngine has to find in the process before the application
// object exists, should it ever start: the sandbox for root, that it draws
// without OpenGL, what it logs and the program's Chromium switches. Touches
// no part of the web engine itself. Call it first in main.
void prepareWebEngineEnvironment();

// The Chromium switches the web engine starts with: the program's own, then
// those the user gave in QTWEBENGINE_CHROMIUM_FLAGS (userFlags), which win
// where both name the same switch.
QByteArray chromiumFlags(const QByteArray &userFlags);

#endif
