#ifndef ZORVINA_WEBENGINEPROCESS_H
#define ZORVINA_WEBENGINEPROCESS_H

#include <QByteArray>

// Everything Qt WebEngine has to know for the whole process before the
// application object exists: the sandbox for root, the player's URL scheme,
// how it draws, what it logs and the program's Chromium switches. Call it
// first in main.
void prepareWebEngineProcess();

// The Chromium switches the web engine starts with: the program's own, then
// those the user gave in QTWEBENGINE_CHROMIUM_FLAGS (userFlags), which win
// where both name the same switch.
QByteArray chromiumFlags(const QByteArray &userFlags);

#endif
