// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_DISPLAYLIST_H
#define ZORVINA_DISPLAYLIST_H

// What is on the stage at one moment: a tree of placed characters. The stage
// (stage.h) changes it frame by frame; the renderer (renderer.h) only reads it.

#include "swfmovie.h"

#include <vector>

namespace swf {

struct DisplayObject
{
    int depth = 0;
    quint16 characterId = 0;
    CharacterKind kind = CharacterKind::Shape;
    QTransform matrix; // twips, to the parent's space
    ColorTransform colorTransform;
    quint16 ratio = 0; // morph shapes: 0 start .. 65535 end
    QString name;
    int clipDepth = 0; // a mask: clips the objects above it up to this depth

    // Sprites only: their own timeline and where it stands.
    const Timeline *timeline = nullptr;
    int currentFrame = 0; // 0-based
    bool playing = true;
    std::vector<DisplayObject> children; // sorted by depth
};

} // namespace swf

#endif
