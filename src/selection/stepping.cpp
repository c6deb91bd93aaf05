// SPDX-License-Identifier: GPL-3.0-or-later
#include "stepping.h"

int previousIndex(int current)
{
    return current <= 0 ? current : current - 1;
}

int nextIndex(int current, int count)
{
    return current == count - 1 ? count - 1 : current + 1;
}
