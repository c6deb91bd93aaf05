// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MAKERERROR_H
#define ZORVINA_MAKERERROR_H

#include "messageerror.h"

// Why a character's movie could not be made, in words for the parent running
// the tool.
class MakerError : public MessageError
{
public:
    using MessageError::MessageError;
};

#endif
