// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_STEPPING_H
#define ZORVINA_STEPPING_H

// The previous and next buttons. Indexes are zero-based, -1 when nothing is
// current; the result is the index to make current.

// The first item stays first; with nothing current nothing changes.
int previousIndex(int current);

// The last item stays last; with nothing current the first becomes current;
// an empty list keeps nothing current.
int nextIndex(int current, int count);

#endif
