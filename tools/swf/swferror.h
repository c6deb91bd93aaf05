// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SWFERROR_H
#define ZORVINA_SWFERROR_H

#include "messageerror.h"

// Raised when something cannot be put into (or read from) a movie. The writer
// checks before it writes, so a refused call leaves the movie as it was.
class SwfError : public MessageError
{
public:
    using MessageError::MessageError;
};

#endif
