#ifndef ZORVINA_WEBENGINEPROCESS_H
#define ZORVINA_WEBENGINEPROCESS_H

// Everything Qt WebEngine has to know for the whole process before the
// application object exists: the sandbox for root, the player's URL scheme,
// how it draws and what it logs. Call it first in main.
void prepareWebEngineProcess();

#endif
