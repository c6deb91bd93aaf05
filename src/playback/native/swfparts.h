// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SWFPARTS_H
#define ZORVINA_SWFPARTS_H

// The readers of the movie's character definitions, each given a reader over
// one tag's body just past the character id. All throw Refusal.

#include "swfbits.h"
#include "swfmovie.h"

#include <memory>

namespace swf {

// version: 1..4 for DefineShape, DefineShape2, 3, 4.
std::shared_ptr<Shape> readShape(Reader &in, int version, Budget &budget);
// version: 1 or 2 (DefineMorphShape2).
std::shared_ptr<MorphShape> readMorphShape(Reader &in, int version, Budget &budget);
// version: 1..3 for DefineFont, DefineFont2, DefineFont3.
std::shared_ptr<Font> readFont(Reader &in, int version, Budget &budget);
// version: 1 or 2 (DefineText2, with alpha).
std::shared_ptr<Text> readText(Reader &in, int version, const Movie &movie, Budget &budget);

struct BitmapState
{
    QByteArray jpegTables;
    qint64 pixelsLeft = Limits::allBitmapPixels;
};

// code: the tag code (6, 21, 35, 20 or 36).
std::shared_ptr<Bitmap> readBitmap(Reader &in, int code, BitmapState &state);

std::shared_ptr<Sound> readSound(Reader &in);
SoundStart readSoundStart(Reader &in, const Movie &movie);
StreamHead readStreamHead(Reader &in);

// Removes what some tools put between the tables and the picture of a JPEG
// (an end-of-image, start-of-image marker pair before the scan) so a decoder
// sees one picture.
QByteArray joinJpeg(const QByteArray &data);

} // namespace swf

#endif
