// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FULLDISK_H
#define ZORVINA_FULLDISK_H

#include <QtGlobal>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>

// While one lives, a write that would make a file of this process longer than
// two bytes fails inside write(), as it does on a full disk.
class FullDisk
{
public:
    FullDisk()
    {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit tight = m_old;
        tight.rlim_cur = 2;
        ::setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FullDisk() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit m_old{};
};
#endif

// In a test function: fills the disk for the rest of the scope when condition
// holds, or skips the row where the disk cannot be filled.
#ifdef Q_OS_UNIX
#define ZORVINA_FILL_DISK_IF(condition)                                                            \
    std::optional<FullDisk> fullDisk;                                                              \
    if (condition)                                                                                 \
    fullDisk.emplace()
#else
#define ZORVINA_FILL_DISK_IF(condition)                                                            \
    if (condition)                                                                                 \
    QSKIP("no way to fill the disk here")
#endif

#endif
