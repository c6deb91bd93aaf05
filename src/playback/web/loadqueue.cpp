#include "loadqueue.h"

LoadQueue::LoadQueue(MoviePage *page) : m_page(page)
{
}

void LoadQueue::request(const QString &path)
{
    m_waiting = path;
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

void LoadQueue::pageLost()
{
    m_ready = false;
    m_loadingTicket = 0;
}

void LoadQueue::startWaiting()
{
    if (!m_ready || isLoading() || !m_waiting)
        return;
    const QString path = *m_waiting;
    m_waiting.reset();
    m_loadingTicket = ++m_lastTicket;
    m_page->startLoad(m_loadingTicket, path);
}
