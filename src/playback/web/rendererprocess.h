// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_RENDERERPROCESS_H
#define ZORVINA_RENDERERPROCESS_H

#include <QtGlobal>

// The web engine's renderer process, seen from outside: the page's scripts
// (and Ruffle) run on its main thread.
namespace RendererProcess {

// Processor time the main thread has used so far, in milliseconds, or -1
// where the system does not tell.
qint64 scriptTimeMs(qint64 pid);

// Ends the process at once. A hung renderer answers nothing, not even a
// reload; only ending it brings the page back.
void end(qint64 pid);

} // namespace RendererProcess

#endif
