#include "loadqueue.h"

#include <QTest>

namespace {

// Records the loads the queue starts; the test ends them.
class FakePage : public MoviePage
{
public:
    void startLoad(int ticket, const QString &path) override { started.append({ticket, path}); }

    struct Load
    {
        int ticket;
        QString path;
    };
    QList<Load> started;

    QStringList paths() const
    {
        QStringList result;
        for (const Load &load : started)
            result << load.path;
        return result;
    }
    int lastTicket() const { return started.last().ticket; }
};

} // namespace

class TestLoadQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nothingStartsBeforeThePageIsReady();
    void oneLoadAtATime();
    void newestWaitingRequestWins();
    void staleReportsAreIgnored();
    void lostPageTakesItsLoadAlong();
    void lostPagePlaysTheNewestAgainOnce();
    void sameMovieAgainLoadsAgain();
};

void TestLoadQueue::nothingStartsBeforeThePageIsReady()
{
    FakePage page;
    LoadQueue queue(&page);
    queue.request(QStringLiteral("a"));
    QVERIFY(page.started.isEmpty());
    QVERIFY(!queue.isLoading());
    queue.pageReady();
    QCOMPARE(page.paths(), QStringList{QStringLiteral("a")});
    QVERIFY(queue.isLoading());
}

void TestLoadQueue::oneLoadAtATime()
{
    FakePage page;
    LoadQueue queue(&page);
    queue.pageReady();
    queue.request(QStringLiteral("a"));
    queue.request(QStringLiteral("b"));
    QCOMPARE(page.paths(), QStringList{QStringLiteral("a")});
    queue.loadFinished(page.lastTicket());
    QCOMPARE(page.paths(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    queue.loadFinished(page.lastTicket());
    QVERIFY(!queue.isLoading());
    QCOMPARE(page.started.size(), 2);
    QVERIFY(page.started[0].ticket != page.started[1].ticket);
}

void TestLoadQueue::newestWaitingRequestWins()
{
    FakePage page;
    LoadQueue queue(&page);
    // While the page starts...
    queue.request(QStringLiteral("a"));
    queue.request(QStringLiteral("b"));
    queue.pageReady();
    QCOMPARE(page.paths(), QStringList{QStringLiteral("b")});
    // ...and while a load is in flight.
    queue.request(QStringLiteral("c"));
    queue.request(QStringLiteral("d"));
    queue.request(QStringLiteral("e"));
    queue.loadFinished(page.lastTicket());
    QCOMPARE(page.paths(), (QStringList{QStringLiteral("b"), QStringLiteral("e")}));
}

void TestLoadQueue::staleReportsAreIgnored()
{
    FakePage page;
    LoadQueue queue(&page);
    queue.pageReady();
    queue.request(QStringLiteral("a"));
    const int first = page.lastTicket();
    queue.loadFinished(first);
    queue.request(QStringLiteral("b"));
    queue.request(QStringLiteral("c"));
    // A second report of the first load, or one never issued, must not let
    // "c" overlap "b".
    for (int ticket : {first, 0, -1, page.lastTicket() + 1})
        queue.loadFinished(ticket);
    QCOMPARE(page.paths(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    queue.loadFinished(page.lastTicket());
    QCOMPARE(page.paths().last(), QStringLiteral("c"));
}

void TestLoadQueue::lostPageTakesItsLoadAlong()
{
    FakePage page;
    LoadQueue queue(&page);
    queue.pageReady();
    queue.request(QStringLiteral("a"));
    const int lost = page.lastTicket();
    queue.request(QStringLiteral("b"));
    queue.pageLost();
    QVERIFY(!queue.isLoading());
    // Nothing starts on a page that is not there; the old page's report of
    // its load means nothing any more.
    queue.loadFinished(lost);
    QCOMPARE(page.started.size(), 1);
    queue.pageReady();
    QCOMPARE(page.paths(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    queue.request(QStringLiteral("c"));
    queue.loadFinished(lost);
    QCOMPARE(page.started.size(), 2);
    queue.loadFinished(page.lastTicket());
    QCOMPARE(page.paths().last(), QStringLiteral("c"));
}

void TestLoadQueue::lostPagePlaysTheNewestAgainOnce()
{
    FakePage page;
    LoadQueue queue(&page);
    queue.pageReady();
    queue.request(QStringLiteral("a"));
    queue.loadFinished(page.lastTicket());
    // Shown when the page went away: it plays again on the next page.
    QCOMPARE(queue.pageLost(), std::nullopt);
    queue.pageReady();
    QCOMPARE(page.paths(), (QStringList{QStringLiteral("a"), QStringLiteral("a")}));
    // Lost with a page a second time: dropped, and said so.
    QCOMPARE(queue.pageLost(), std::optional<QString>(QStringLiteral("a")));
    queue.pageReady();
    QCOMPARE(page.started.size(), 2);
    // A new request has a clean slate.
    queue.request(QStringLiteral("b"));
    QCOMPARE(queue.pageLost(), std::nullopt);
    queue.pageReady();
    QCOMPARE(page.paths().last(), QStringLiteral("b"));
    QCOMPARE(page.started.size(), 4);
}

void TestLoadQueue::sameMovieAgainLoadsAgain()
{
    // Choosing the same character again starts its movie from the beginning.
    FakePage page;
    LoadQueue queue(&page);
    queue.pageReady();
    queue.request(QStringLiteral("a"));
    queue.loadFinished(page.lastTicket());
    queue.request(QStringLiteral("a"));
    QCOMPARE(page.paths(), (QStringList{QStringLiteral("a"), QStringLiteral("a")}));
}

QTEST_GUILESS_MAIN(TestLoadQueue)
#include "tst_loadqueue.moc"
