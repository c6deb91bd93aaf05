// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SWFMOVIE_H
#define ZORVINA_SWFMOVIE_H

// A Flash movie as the native player holds it once read: the dictionary of
// characters and the timelines, decoded and checked against the player's
// bounds. Nothing here refers back to the file's bytes, so a movie outlives
// its file. Coordinates are twips (1/20 pixel) unless said otherwise.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <memory>
#include <optional>

namespace swf {

// The player's limits. A movie past any of them is not played natively.
namespace Limits {
constexpr qint64 fileBytes = 64 * 1024 * 1024;     // after decompression
constexpr int frames = 16000;                       // per timeline
constexpr int characters = 65535;
constexpr int depth = 65535;                        // depths 1..depth (PlaceObject may use 0..65535)
constexpr int spriteNesting = 16;                   // sprite inside sprite inside ...
constexpr int edgesPerShape = 200000;
constexpr int stylesPerShape = 4096;
constexpr int gradientStops = 15;
constexpr int bitmapSide = 8191;                    // pixels, either side
constexpr qint64 bitmapPixels = 16 * 1024 * 1024;   // per bitmap
constexpr qint64 allBitmapPixels = 64 * 1024 * 1024;
constexpr int glyphsPerFont = 65535;
constexpr int textRecords = 10000;
constexpr qint64 soundSamples = 44100 * 60 * 10;   // ten minutes per sound, per channel
constexpr int actionsPerFrame = 100000;             // actions executed for one frame
constexpr int actionBytes = 1024 * 1024;            // per action block
constexpr int displayObjects = 100000;              // live on all timelines together
// Edges, glyph outlines, text glyphs, frames, display commands, sound starts
// and labels of one movie together: what the file can make the reader hold.
constexpr qint64 decodedItems = 2000000;
// Private data tags kept for the program (see Movie::privateData): how many
// codes and how large each; past these they are skipped like the rest.
constexpr int privateTags = 8;
constexpr int privateTagBytes = 1024 * 1024;
} // namespace Limits

// A colour transform: each channel c becomes c * mult + add, clamped to
// 0..255. Multipliers are 1.0 for "unchanged" (the file stores 8.8 fixed).
struct ColorTransform
{
    float rMult = 1, gMult = 1, bMult = 1, aMult = 1;
    float rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

    bool isIdentity() const;
    QColor apply(const QColor &color) const;
    // The transform that applies this one first, then outer.
    ColorTransform then(const ColorTransform &outer) const;
};

struct GradientStop
{
    quint8 ratio = 0; // 0..255 along the gradient
    QColor color;
};

struct Gradient
{
    enum class Spread { Pad, Reflect, Repeat };
    enum class Interpolation { Normal, Linear }; // Linear: in linear RGB
    // Maps the gradient square (-16384..16384 twips on both axes) to shape space.
    QTransform matrix;
    Spread spread = Spread::Pad;
    Interpolation interpolation = Interpolation::Normal;
    QList<GradientStop> stops; // 1..Limits::gradientStops, as in the file
    double focalPoint = 0;     // -1..1, only for focal radial fills
};

struct FillStyle
{
    enum class Type { Solid, Linear, Radial, Focal, Bitmap };
    Type type = Type::Solid;
    QColor color;      // Solid
    Gradient gradient; // Linear, Radial, Focal
    quint16 bitmapId = 0;
    QTransform bitmapMatrix; // bitmap pixels (in twips: 1 pixel = 20 units) to shape space
    bool repeating = true;   // false: clipped
    bool smoothed = true;
};

struct LineStyle
{
    enum class Cap { Round, None, Square };
    enum class Join { Round, Bevel, Miter };
    quint16 width = 0; // twips; 0 is a hairline (one pixel on screen)
    QColor color;
    Cap startCap = Cap::Round;
    Cap endCap = Cap::Round;
    Join join = Join::Round;
    double miterLimit = 3;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill; // LineStyle2 with a fill instead of a colour
};

// One edge of a shape, in absolute twips. Style indices are 1-based into the
// shape's flattened style lists (DefineShape2+ may bring new style arrays
// part-way; the reader appends them and renumbers), 0 for none. fill0 lies
// to the left of the edge as drawn, fill1 to its right.
struct Edge
{
    QPointF from;
    QPointF control; // only when curved
    QPointF to;
    bool curved = false;
    int fill0 = 0;
    int fill1 = 0;
    int line = 0;
};

struct Shape
{
    QRectF bounds;
    QList<FillStyle> fills;
    QList<LineStyle> lines;
    QList<Edge> edges;
};

// A morph shape: start and end have the same number of edges, edge i of one
// matching edge i of the other (a straight edge facing a curve is given as a
// curve with its control point at its middle); styles come in pairs.
struct MorphShape
{
    QRectF startBounds;
    QRectF endBounds;
    QList<FillStyle> startFills, endFills;
    QList<LineStyle> startLines, endLines;
    QList<Edge> startEdges, endEdges;
};

struct Bitmap
{
    QImage image; // Format_ARGB32_Premultiplied
};

struct Font
{
    // Glyph outlines in font units: an EM square of 1024 units (20480 for
    // DefineFont3), y down, filled with the winding rule.
    QList<QPainterPath> glyphs;
    bool font3 = false;
};

struct TextGlyph
{
    int index = 0;       // into the font's glyphs
    qint32 advance = 0;  // twips
};

struct TextRecord
{
    quint16 fontId = 0;
    QColor color;
    double x = 0, y = 0; // twips, baseline start
    quint16 height = 0;  // twips: the EM square's size
    QList<TextGlyph> glyphs;
};

struct Text
{
    QRectF bounds;
    QTransform matrix;
    QList<TextRecord> records; // font, colour, position and height already carried over
};

struct Sound
{
    enum class Format { PcmNative, Adpcm, Mp3, PcmLittle }; // SWF codes 0, 1, 2, 3
    Format format = Format::Mp3;
    int rate = 44100; // 5512, 11025, 22050 or 44100
    bool is16Bit = true;
    bool stereo = false;
    quint32 sampleCount = 0; // per channel
    QByteArray data;         // for MP3: after the seek-samples field
    qint16 seekSamples = 0;  // MP3 only
};

struct SoundEnvelopePoint
{
    quint32 position = 0; // in 44.1 kHz samples
    quint16 left = 32768; // 0..32768
    quint16 right = 32768;
};

struct SoundStart
{
    quint16 soundId = 0;
    bool stop = false;
    bool noMultiple = false;
    std::optional<quint32> inPoint, outPoint; // in 44.1 kHz samples
    quint16 loops = 1;
    QList<SoundEnvelopePoint> envelope;
};

struct StreamHead
{
    Sound::Format format = Sound::Format::Mp3;
    int rate = 44100;
    bool is16Bit = true;
    bool stereo = false;
    quint16 samplesPerBlock = 0; // per frame, per channel
    qint16 latencySeek = 0;      // MP3 only
};

// One PlaceObject / RemoveObject of a frame, in file order.
struct DisplayCommand
{
    enum class Kind { Place, Remove };
    Kind kind = Kind::Place;
    int depth = 0;
    bool move = false;                 // PlaceObject2/3's move flag
    std::optional<quint16> characterId;
    std::optional<QTransform> matrix;  // twips
    std::optional<ColorTransform> colorTransform;
    std::optional<quint16> ratio;      // morph ratio, 0..65535
    std::optional<QString> name;
    std::optional<int> clipDepth;
};

// A frame's content, run when the playhead reaches it: display commands,
// then sounds, then actions (DoAction blocks in order).
struct Frame
{
    QList<DisplayCommand> commands;
    QList<SoundStart> sounds;
    QList<QByteArray> actions;         // raw AVM1 bytes, each block bounded
    std::optional<QByteArray> streamBlock; // this frame's SoundStreamBlock, if any
};

struct Timeline
{
    QList<Frame> frames; // at least one
    QHash<QString, int> labels; // label (compared case-insensitively, stored lower case) -> frame index
    std::optional<StreamHead> stream;
};

struct Sprite
{
    Timeline timeline;
};

// What a character id names.
enum class CharacterKind { Shape, MorphShape, Sprite, Bitmap, Font, Text, Sound };

struct Movie
{
    int version = 0;
    QRectF stage;         // twips; usually (0, 0, width, height)
    double frameRate = 0; // frames per second; 0 in the file means as fast as possible, read as 1
    QColor background = Qt::white;
    Timeline root;

    QHash<quint16, CharacterKind> kinds;
    QHash<quint16, std::shared_ptr<const Shape>> shapes;
    QHash<quint16, std::shared_ptr<const MorphShape>> morphShapes;
    QHash<quint16, std::shared_ptr<const Sprite>> sprites;
    QHash<quint16, std::shared_ptr<const Bitmap>> bitmaps;
    QHash<quint16, std::shared_ptr<const Font>> fonts;
    QHash<quint16, std::shared_ptr<const Text>> texts;
    QHash<quint16, std::shared_ptr<const Sound>> sounds;

    // The bodies of the top-level tags with private codes (255..1023), the
    // first of each code: data the program's own movies carry for it, which
    // players skip.
    QHash<int, QByteArray> privateData;
};

// Reading a file: either a movie the native player can play in full, or the
// reason it cannot.
struct ReadResult
{
    enum class Verdict {
        Native,      // every part of the movie is understood and within bounds
        Unsupported, // a Flash movie using something the native player lacks, or
                     // one damaged or past a bound: the web player may still try it
        NotAMovie    // no Flash signature or no readable header: nobody can play it
    };
    Verdict verdict = Verdict::NotAMovie;
    std::shared_ptr<const Movie> movie; // only for Native
    QString reason;                     // for the log: what was not understood, or what was wrong
};

ReadResult readMovie(const QByteArray &file);

} // namespace swf

#endif
