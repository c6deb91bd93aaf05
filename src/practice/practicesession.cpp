// SPDX-License-Identifier: GPL-3.0-or-later
#include "practicesession.h"

#include "strokematcher.h"

namespace practice {

PracticeSession::PracticeSession(const QList<QPolygonF> &medians) : m_medians(medians)
{
}

PracticeSession::Outcome PracticeSession::submit(const QPolygonF &drawn)
{
    if (isFinished())
        return Outcome::Ignored;
    if (matchStroke(drawn, m_medians, m_current).accepted) {
        if (m_misses == 0)
            ++m_rightFirstTime;
        advance();
        return Outcome::Accepted;
    }
    if (++m_misses >= MissesBeforeShown) {
        advance();
        return Outcome::WrittenForChild;
    }
    return Outcome::Missed;
}

void PracticeSession::advance()
{
    ++m_current;
    m_misses = 0;
}

} // namespace practice
