// SPDX-License-Identifier: GPL-3.0-or-later
#include "rendererprocess.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
namespace {
// Windows has no /proc to read the time from.
const qint64 clockTicksPerSecond = 0;
void kill(qint64 pid)
{
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(pid))) {
        TerminateProcess(process, 1);
        CloseHandle(process);
    }
}
} // namespace
#else
#include <csignal>
#include <unistd.h>
namespace {
const qint64 clockTicksPerSecond = ::sysconf(_SC_CLK_TCK);
void kill(qint64 pid)
{
    ::kill(pid_t(pid), SIGKILL);
}
} // namespace
#endif

qint64 RendererProcess::scriptTimeMs(qint64 pid)
{
    // The main thread's own line: its task has the process's id.
    QFile stat(QStringLiteral("/proc/%1/task/%1/stat").arg(pid));
    if (clockTicksPerSecond <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    // The name in parentheses may hold spaces; user and system time are the
    // 12th and 13th fields after it.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return (fields[11].toLongLong() + fields[12].toLongLong()) * 1000 / clockTicksPerSecond;
}

void RendererProcess::end(qint64 pid)
{
    kill(pid);
}
