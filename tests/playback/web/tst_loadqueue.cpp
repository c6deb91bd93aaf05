// SPDX-License-Identifier: GPL-3.0-or-later
#include "loadqueue.h"

#include <QTest>

namespace {

// Writes each load the queue starts into the log; the test ends them.
class FakePage : public MoviePage
{
public:
    explicit FakePage(QStringList &log) : m_log(log) {}

    void startLoad(int ticket, const QString &path) override
    {
        tickets.append(ticket);
        m_log.append(path);
    }

    QList<int> tickets;

private:
    QStringList &m_log;
};

} // namespace

class TestLoadQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void steps_data();
    void steps();
};

void TestLoadQueue::steps_data()
{
    // Steps: a letter requests that movie; "ready" and "lost" report the page;
    // "done" ends the newest load started, "done1" the first one (long over),
    // "bogus" reports tickets never issued; "|" marks the log.
    // Log: the movies started, "!x" for a movie dropped when the page was lost.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("log");
    const auto row = [](const char *name, const char *steps, const char *log) {
        QTest::newRow(name) << QString::fromLatin1(steps) << QString::fromLatin1(log);
    };
    row("nothing starts before the page is ready", "a | ready", "| a");
    row("one load at a time", "ready a b | done | done c", "a | b | c");
    row("newest waiting request wins", "a b ready c d e | done", "b | e");
    row("stale reports are ignored", "ready a done b c done1 bogus | done", "a b | c");
    row("lost page takes its load along", "ready a b lost done1 | ready c done1 | done",
        "a | b | c");
    row("lost page plays the newest again once", "ready a done lost ready lost ready b lost ready",
        "a a !a b b");
    row("same movie again loads again", "ready a done a", "a a");
}

void TestLoadQueue::steps()
{
    QFETCH(QString, steps);
    QFETCH(QString, log);
    QStringList written;
    FakePage page(written);
    LoadQueue queue(&page);
    for (const QString &step : steps.split(QLatin1Char(' '))) {
        if (step == QLatin1String("ready")) {
            queue.pageReady();
        } else if (step == QLatin1String("lost")) {
            if (const std::optional<QString> dropped = queue.pageLost())
                written.append(QLatin1Char('!') + *dropped);
        } else if (step == QLatin1String("done")) {
            queue.loadFinished(page.tickets.last());
        } else if (step == QLatin1String("done1")) {
            queue.loadFinished(page.tickets.first());
        } else if (step == QLatin1String("bogus")) {
            for (int ticket : {0, -1, page.tickets.last() + 1})
                queue.loadFinished(ticket);
        } else if (step == QLatin1String("|")) {
            written.append(step);
        } else {
            queue.request(step);
        }
    }
    QCOMPARE(written.join(QLatin1Char(' ')), log);
}

QTEST_GUILESS_MAIN(TestLoadQueue)
#include "tst_loadqueue.moc"
