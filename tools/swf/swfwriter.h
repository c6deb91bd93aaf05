// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SWFWRITER_H
#define ZORVINA_SWFWRITER_H

#include "bitwriter.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QSize>
#include <optional>

// Writes Flash movies (SWF, version 10 and up, ActionScript 1/2 actions) tag
// by tag. Everything is given in pixels; the writer converts to twips
// (1/20 pixel) and fixed point itself.
//
// Every call checks its input before it writes anything and throws SwfError
// when the input cannot be encoded (a coordinate out of range, an empty path,
// an unknown sound rate, too many frames...). A refused call leaves the movie
// unchanged, so the writer never produces a broken file.
//
//     SwfWriter movie({QSize(577, 449), 24.0});
//     movie.setBackgroundColor({255, 250, 240});
//     ShapePath square;
//     square.moveTo({10, 10}); square.lineTo({90, 10});
//     square.lineTo({90, 90}); square.lineTo({10, 90}); square.close();
//     const quint16 id = movie.defineShape({{{square, Rgba{200, 0, 0}}}});
//     movie.placeObject(1, id);
//     movie.showFrame();
//     QByteArray bytes = movie.finish(SwfWriter::Compression::Zlib);

struct Rgba
{
    quint8 r = 0;
    quint8 g = 0;
    quint8 b = 0;
    quint8 a = 255;
};

// An outline made of straight and quadratic curved edges, in pixels with y
// pointing down. Several figures may follow one another, each started with
// moveTo.
class ShapePath
{
public:
    struct Segment
    {
        enum class Type { Move, Line, Quad };
        Type type;
        QPointF control; // only for Quad
        QPointF end;
    };

    void moveTo(QPointF point);
    void lineTo(QPointF point);
    void quadTo(QPointF control, QPointF end);
    // Draws a straight edge back to the start of the current figure.
    void close();

    const QList<Segment> &segments() const { return m_segments; }
    bool isEmpty() const { return m_segments.isEmpty(); }

private:
    QList<Segment> m_segments;
    QPointF m_figureStart;
};

struct LineStyle
{
    double width = 1.0; // pixels; the line has round caps and joins
    Rgba color;
};

// One outline with its fill and/or line; at least one of them must be set.
struct ShapePart
{
    ShapePath path;
    std::optional<Rgba> fill = std::nullopt;
    std::optional<LineStyle> line = std::nullopt;
};

struct Shape
{
    QList<ShapePart> parts;
};

// Position, scale and rotation of a placed object: a point p of the object
// ends up at (scaleX*p.x + skew1*p.y + dx, skew0*p.x + scaleY*p.y + dy).
struct Matrix
{
    double scaleX = 1.0;
    double scaleY = 1.0;
    double skew0 = 0.0;
    double skew1 = 0.0;
    QPointF translate;

    static Matrix translation(QPointF offset);
};

// Actions run when the frame holding them is reached.
class ActionList
{
public:
    ActionList &stop();
    ActionList &getUrl(const QByteArray &url, const QByteArray &target = QByteArray());

    QByteArray bytes() const { return m_bytes; }
    bool isEmpty() const { return m_bytes.isEmpty(); }

private:
    QByteArray m_bytes;
};

// Encoded MP3 frames ready to be embedded. Flash plays MP3 only at 11025,
// 22050 and 44100 Hz.
struct Mp3Sound
{
    int sampleRate = 22050;
    bool stereo = false;
    quint32 sampleCount = 0; // samples per channel
    qint16 seekSamples = 0;  // decoder delay to skip at the start
    QByteArray frames;
};

class SwfWriter
{
public:
    struct Header
    {
        QSize stage;             // pixels
        double frameRate = 24.0; // frames per second
        int version = 10;
        // Marks the movie as ActionScript 3 in its FileAttributes tag.
        bool actionScript3 = false;
    };
    // Lzma: the "ZWS" form of Flash Player 11 and later.
    enum class Compression { None, Zlib, Lzma };

    // Checks the header and writes the FileAttributes tag, which must come
    // first.
    explicit SwfWriter(const Header &header);

    void setBackgroundColor(Rgba color);
    // Defines a shape (DefineShape3) and returns its character id.
    quint16 defineShape(const Shape &shape);
    // Puts a character on the display list at depth (1..65535).
    void placeObject(int depth, quint16 characterId, const Matrix &matrix = Matrix());
    // Replaces the character shown at depth, keeping its other properties.
    void replaceObject(int depth, quint16 characterId);
    void moveObject(int depth, const Matrix &matrix);
    void removeObject(int depth);
    void doAction(const ActionList &actions);
    // Defines an event sound (DefineSound) and returns its character id.
    quint16 defineSound(const Mp3Sound &sound);
    // Starts a defined sound; noMultiple keeps it from starting again while
    // it is still playing.
    void startSound(quint16 soundId, bool noMultiple = false);
    void showFrame();

    // Writes a tag the writer has no call for, body as given. A ShowFrame
    // counts as a frame; the End tag is finish's alone.
    void rawTag(int code, const QByteArray &body);
    // Writes a character-defining tag: a new character id, then
    // bodyAfterId. Returns the id, which placeObject accepts.
    quint16 defineCharacter(int code, const QByteArray &bodyAfterId);

    int frameCount() const { return m_frameCount; }

    // Ends the movie and returns the whole file. The writer may not be used
    // afterwards.
    QByteArray finish(Compression compression);

private:
    void writeTag(int code, const QByteArray &body);
    quint16 nextCharacterId();
    void checkUsable() const;
    void checkDepth(int depth) const;
    void checkCharacter(quint16 id, bool sound) const;

    Header m_header;
    QByteArray m_tags;
    // Whether each defined character (id = index + 1) is a sound.
    QList<bool> m_sounds;
    int m_frameCount = 0;
    bool m_finished = false;
};

// The tag codes the writer emits.
namespace SwfTag {
enum Code {
    End = 0,
    ShowFrame = 1,
    DefineShape = 2,
    PlaceObject = 4,
    RemoveObject = 5,
    DefineBits = 6,
    JpegTables = 8,
    SetBackgroundColor = 9,
    DefineFont = 10,
    DefineText = 11,
    DoAction = 12,
    DefineSound = 14,
    StartSound = 15,
    SoundStreamHead = 18,
    SoundStreamBlock = 19,
    DefineBitsLossless = 20,
    DefineBitsJpeg2 = 21,
    DefineShape2 = 22,
    PlaceObject2 = 26,
    RemoveObject2 = 28,
    DefineShape3 = 32,
    DefineText2 = 33,
    DefineButton2 = 34,
    DefineBitsJpeg3 = 35,
    DefineBitsLossless2 = 36,
    DefineEditText = 37,
    DefineSprite = 39,
    FrameLabel = 43,
    SoundStreamHead2 = 45,
    DefineMorphShape = 46,
    DefineFont2 = 48,
    FileAttributes = 69,
    PlaceObject3 = 70,
    DefineFont3 = 75,
    DoAbc = 82,
    DefineShape4 = 83,
    DefineMorphShape2 = 84,
};
}

// A movie's body after its first eight bytes, compressed as "CWS" (zlib)
// and "ZWS" (LZMA: the compressed size and LZMA's properties ahead of the
// stream) movies hold it.
namespace SwfCompression {
QByteArray zlib(const QByteArray &body);
QByteArray lzma(const QByteArray &body);
} // namespace SwfCompression

// Twips and fixed-point conversions, range-checked.
namespace SwfUnits {
// Shape coordinates are limited to what keeps any edge within the 17-bit
// delta field: +-32767 twips, about +-1638 pixels.
constexpr qint32 MaxCoordinateTwips = 32767;
qint32 toTwips(double pixels, qint32 limit = MaxCoordinateTwips);
qint32 toFixed16(double value);
// Writes a RECT given in twips.
void writeRect(BitWriter &out, qint32 xMin, qint32 xMax, qint32 yMin, qint32 yMax);
void writeMatrix(BitWriter &out, const Matrix &matrix);
} // namespace SwfUnits

#endif
