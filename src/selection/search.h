// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SEARCH_H
#define ZORVINA_SEARCH_H

class CharacterList;
class QString;

enum class SearchResult {
    Found,     // the item with that text is current
    NotInList, // to be reported: the text is not empty, the list has items, none with that text
    Nothing,   // an empty text or an empty list: nothing happens
};

// The search box's look-up of text in the list.
SearchResult search(CharacterList &list, const QString &text);

#endif
