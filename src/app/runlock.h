// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_RUNLOCK_H
#define ZORVINA_RUNLOCK_H

#include <QLockFile>

class AppFolder;

// One running copy of the program per folder it writes in: two copies would
// delete each other's movie in Work. The lock is a file in that folder,
// given up when the program ends and taken over when the copy that left it
// is gone.
class RunLock
{
public:
    // The writing folder is made beforehand (AppFolder::canWrite).
    explicit RunLock(const AppFolder &folder);

    // Another running copy holds the folder. A folder where no lock can be
    // written (a read-only medium) holds nothing to protect, and is not.
    bool heldElsewhere() const { return m_heldElsewhere; }

private:
    QLockFile m_lock;
    bool m_heldElsewhere = false;
};

#endif
