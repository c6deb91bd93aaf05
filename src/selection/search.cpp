// SPDX-License-Identifier: GPL-3.0-or-later
#include "search.h"

#include "characterlist.h"

SearchResult search(CharacterList &list, const QString &text)
{
    if (list.selectText(text))
        return SearchResult::Found;
    if (text.isEmpty() || list.count() == 0)
        return SearchResult::Nothing;
    return SearchResult::NotInList;
}
