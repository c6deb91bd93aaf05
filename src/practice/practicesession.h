// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PRACTICESESSION_H
#define ZORVINA_PRACTICESESSION_H

#include <QList>
#include <QPolygonF>

namespace practice {

// One pass of writing a character, stroke by stroke in order: what each
// drawn path does and how the child is doing. Knows nothing of the screen.
class PracticeSession
{
public:
    // A miss on this try of a stroke writes it for the child.
    static constexpr int MissesBeforeShown = 3;

    enum class Outcome {
        Accepted,        // the path is the next stroke: it is now written
        Missed,          // not the next stroke: it vanishes, a hint shows
        WrittenForChild, // the last allowed miss: the stroke writes itself, the child goes on
        Ignored          // the character is already finished
    };

    // medians: every stroke's centre line in writing order, character units.
    explicit PracticeSession(const QList<QPolygonF> &medians);

    Outcome submit(const QPolygonF &drawn);

    int strokeCount() const { return int(m_medians.size()); }
    // The stroke expected next; strokeCount() once all are written.
    int currentStroke() const { return m_current; }
    int missesOnCurrent() const { return m_misses; }
    // Strokes accepted at the first try.
    int rightFirstTime() const { return m_rightFirstTime; }
    bool isFinished() const { return m_current >= strokeCount(); }

private:
    void advance();

    QList<QPolygonF> m_medians;
    int m_current = 0;
    int m_misses = 0;
    int m_rightFirstTime = 0;
};

} // namespace practice

#endif
