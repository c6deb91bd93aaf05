// SPDX-License-Identifier: GPL-3.0-or-later
#include "runlock.h"

#include "appfolder.h"

RunLock::RunLock(const AppFolder &folder)
    : m_lock(folder.writingPath() + QStringLiteral("/zorvina.lock"))
{
    // Only a lock whose program has ended counts as stale, however old.
    m_lock.setStaleLockTime(0);
    m_heldElsewhere = !m_lock.tryLock() && m_lock.error() == QLockFile::LockFailedError;
}
