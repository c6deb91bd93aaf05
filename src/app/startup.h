// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STARTUP_H
#define ZORVINA_STARTUP_H

class Dialogs;
class frmMain;

// Loads the window. When a file it needs is missing or unreadable the user is
// told what failed and on which file, and false is returned: the program then
// ends without showing its window.
bool startUp(frmMain &window, Dialogs &dialogs);

#endif
