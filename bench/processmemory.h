#ifndef ZORVINA_PROCESSMEMORY_H
#define ZORVINA_PROCESSMEMORY_H

#include <QtGlobal>

// The proportional set size, in bytes, of this process and all its
// descendants (the web engine's helper processes); 0 where not measurable.
qint64 wholeProgramPss();

#endif
