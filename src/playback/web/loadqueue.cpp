// SPDX-License-Identifier: GPL-3.0-or-later
#include "loadqueue.h"

#include <utility>

LoadQueue::LoadQueue(MoviePage *page) : m_page(page)
{
}

void LoadQueue::request(const QString &path)
{
    m_waiting = path;
    m_newest = path;
    m_newestLosses = 0;
    startWaiting();
}

void LoadQueue::pageReady()
{
    m_ready = true;
    startWaiting();
}

void LoadQueue::loadFinished(int ticket)
{
    if (ticket == 0 || ticket != m_loadingTicket)
        return;
    m_loadingTicket = 0;
    startWaiting();
}

std::optional<QString> LoadQueue::pageLost()
{
    // A page that never got ready had nothing to lose.
    if (!m_ready)
        return std::nullopt;
    m_ready = false;
    m_loadingTicket = 0;
    if (m_waiting || !m_newest)
        return std::nullopt;
    if (++m_newestLosses < 2) {
        m_waiting = m_newest;
        return std::nullopt;
    }
    return std::exchange(m_newest, std::nullopt);
}

void LoadQueue::startWaiting()
{
    if (!m_ready || isLoading() || !m_waiting)
        return;
    m_loadingPath = *m_waiting;
    m_waiting.reset();
    m_loadingTicket = ++m_lastTicket;
    m_page->startLoad(m_loadingTicket, m_loadingPath);
}
