// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_WEBENGINEPROCESS_H
#define ZORVINA_WEBENGINEPROCESS_H

#include "webengineenvironment.h"

// The rest, due before the first web page: the player's URL scheme and Qt
// Quick drawing in software.
void prepareWebEngineLate();

// Both at once, for a program that starts the web engine with its window.
void prepareWebEngineProcess();

#endif
