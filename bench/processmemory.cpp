// SPDX-License-Identifier: GPL-3.0-or-later
#include "processmemory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMultiHash>

namespace {

QByteArray readProc(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 pssOf(qint64 pid)
{
    const QByteArray rollup = readProc(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    for (const QByteArray &line : rollup.split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

} // namespace

QList<ProcessMemory> programMemory()
{
    QMultiHash<qint64, qint64> children;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &name : pids) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (!ok)
            continue;
        // The parent follows the command name, which is in parentheses.
        const QByteArray stat = readProc(QStringLiteral("/proc/%1/stat").arg(pid));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            children.insert(fields.at(1).toLongLong(), pid);
    }
    QList<ProcessMemory> processes;
    QList<qint64> pending{QCoreApplication::applicationPid()};
    while (!pending.isEmpty()) {
        const qint64 pid = pending.takeLast();
        const QByteArray command = readProc(QStringLiteral("/proc/%1/cmdline").arg(pid));
        const QList<QByteArray> words = command.split('\0');
        QString name = QString::fromLocal8Bit(words.value(0)).section(QLatin1Char('/'), -1);
        for (const QByteArray &word : words) {
            if (word.startsWith("--type="))
                name += QLatin1Char(' ') + QString::fromLatin1(word.mid(7));
        }
        processes.append({pid, name, pssOf(pid)});
        pending.append(children.values(pid));
    }
    return processes;
}

qint64 wholeProgramPss()
{
    qint64 total = 0;
    for (const ProcessMemory &process : programMemory())
        total += process.pss;
    return total;
}
