// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include "dialogs.h"
#include "fileerror.h"
#include "frmmain.h"

bool startUp(frmMain &window, Dialogs &dialogs)
{
    try {
        window.load();
    } catch (const FileError &error) {
        dialogs.showMessage(nullptr, QStringLiteral("Zorvina 无法启动。\n") + error.message());
        return false;
    }
    return true;
}
