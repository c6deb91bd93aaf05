#ifndef ZORVINA_SWFRASTER_H
#define ZORVINA_SWFRASTER_H

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QPainterPath>

// Replays a movie's display list from its tags and paints one frame with
// QPainter: a reference rendering of what the movie file says, to check the
// movie maker's output without a Flash player.
struct SwfFrameContent
{
    // depth -> (character id, shape path and fill colour)
    struct Object
    {
        int characterId = 0;
    };
    QMap<int, Object> displayList;
    QList<int> startedSounds; // sound ids started in this frame
    bool stops = false;       // the frame has a stop action
};

class SwfMovieReplay
{
public:
    explicit SwfMovieReplay(const QByteArray &file);

    int frameCount() const { return int(m_frames.size()); }
    const SwfFrameContent &frame(int index) const { return m_frames.at(index); }
    // The filled area of a shape, in stage pixels.
    QPainterPath shapeFill(int characterId) const { return m_fills.value(characterId); }
    QColor shapeColor(int characterId) const { return m_colors.value(characterId); }
    bool isSound(int characterId) const { return m_sounds.contains(characterId); }
    // A DefineSound's MP3 frames, after its id, format, sample count and seek.
    QByteArray mp3Frames(int soundId) const { return m_sounds.value(soundId).mid(9); }
    QSize stage() const { return m_stage; }
    QColor background() const { return m_background; }

    QImage render(int frameIndex) const;

private:
    QList<SwfFrameContent> m_frames;
    QMap<int, QPainterPath> m_fills;
    QMap<int, QPainterPath> m_lines;
    QMap<int, QColor> m_colors;
    QMap<int, QByteArray> m_sounds;
    QSize m_stage;
    QColor m_background;
};

#endif
