// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_LOADQUEUE_H
#define ZORVINA_LOADQUEUE_H

#include <QString>
#include <optional>

// What the load queue drives: the page that plays movies. It takes one load
// at a time and reports the end of each through LoadQueue::loadFinished.
class MoviePage
{
public:
    virtual ~MoviePage() = default;
    virtual void startLoad(int ticket, const QString &path) = 0;
};

// Keeps the page to one load at a time. Ruffle leaves an orphaned instance
// behind when two loads overlap, and the page is not ready at all while the
// web engine starts, so requests wait here; only the newest waiting request
// is kept, because the child has already moved on to the next character.
class LoadQueue
{
public:
    explicit LoadQueue(MoviePage *page);

    void request(const QString &path);
    // The page can take loads (again).
    void pageReady();
    // Reports the end of the load with this ticket, played or not. Reports
    // for any other ticket are stale and ignored.
    void loadFinished(int ticket);
    // The page went away (crashed, hung or reloaded) together with its load
    // and the movie it showed. The newest request plays again on the next
    // page, unless a page went away with it once already: a movie that takes
    // the page down every time is dropped then, and returned.
    std::optional<QString> pageLost();

    bool isLoading() const { return m_loadingTicket != 0; }
    int loadingTicket() const { return m_loadingTicket; }
    QString loadingPath() const { return m_loadingPath; }

private:
    void startWaiting();

    MoviePage *m_page;
    bool m_ready = false;
    int m_loadingTicket = 0;
    int m_lastTicket = 0;
    QString m_loadingPath;
    std::optional<QString> m_waiting;
    std::optional<QString> m_newest;
    int m_newestLosses = 0;
};

#endif
