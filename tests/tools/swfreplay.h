#ifndef ZORVINA_SWFREPLAY_H
#define ZORVINA_SWFREPLAY_H

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMap>
#include <QPainterPath>
#include <QSet>

// Replays a movie's display list from its tags: what each frame shows, to
// check the movie maker's output without a Flash player.
struct SwfFrameContent
{
    struct Object
    {
        int characterId = 0;
    };
    QMap<int, Object> displayList; // by depth
    QList<int> startedSounds;      // sound ids started in this frame
    bool stops = false;            // the frame has a stop action
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

private:
    QList<SwfFrameContent> m_frames;
    QMap<int, QPainterPath> m_fills;
    QMap<int, QColor> m_colors;
    QSet<int> m_sounds;
};

#endif
