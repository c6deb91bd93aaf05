// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PROCESSMEMORY_H
#define ZORVINA_PROCESSMEMORY_H

#include <QList>
#include <QString>

struct ProcessMemory
{
    qint64 pid;
    QString name;
    qint64 pss; // bytes
};

// This process and all its descendants (the web engine's helper processes),
// with their proportional set sizes; empty where not measurable.
QList<ProcessMemory> programMemory();

// The sum of programMemory().
qint64 wholeProgramPss();

#endif
