// SPDX-License-Identifier: GPL-3.0-or-later
// The real player on movies written by the tests, in a window of the movie
// area's size.
#include "appfolder.h"
#include "swfwriter.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

#include <QApplication>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>
#include <memory>

namespace {

Q_CONSTRUCTOR_FUNCTION(prepareWebEngineProcess)

// Web pages start slowly on a loaded test machine.
constexpr int timeoutMs = 30000;

const QColor red(220, 30, 30);
const QColor blue(30, 40, 200);
const QColor green(20, 170, 60);
const QColor yellow(240, 220, 20);

bool near(const QColor &a, const QColor &b)
{
    const int tolerance = 8;
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

Rgba rgba(const QColor &colour)
{
    return Rgba{quint8(colour.red()), quint8(colour.green()), quint8(colour.blue())};
}

// A movie on the background colour whose frames (looping) each fill the
// whole stage with one colour and, given a URL, each ask to go there.
QByteArray movie(const QColor &background, const QList<QColor> &frames = {},
                 QSize stage = QSize(577, 449), double frameRate = 24.0, const QByteArray &url = {})
{
    SwfWriter writer({stage, frameRate});
    writer.setBackgroundColor(rgba(background));
    ShapePath whole;
    whole.moveTo({0, 0});
    whole.lineTo({qreal(stage.width()), 0});
    whole.lineTo({qreal(stage.width()), qreal(stage.height())});
    whole.lineTo({0, qreal(stage.height())});
    whole.close();
    for (int frame = 0; frame < frames.size(); ++frame) {
        const quint16 shape = writer.defineShape({{ShapePart{whole, rgba(frames[frame])}}});
        if (frame == 0)
            writer.placeObject(1, shape);
        else
            writer.replaceObject(1, shape);
        if (!url.isEmpty())
            writer.doAction(ActionList().getUrl(url, "_self"));
        writer.showFrame();
    }
    if (frames.isEmpty())
        writer.showFrame();
    return writer.finish(SwfWriter::Compression::Zlib);
}

// A movie the writer has no calls for, written out in the test data.
QByteArray movieFixture(const char *name)
{
    QFile file(QStringLiteral(ZORVINA_TEST_DATA "/player/") + QLatin1String(name) +
               QStringLiteral(".hex"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QRegularExpression(QStringLiteral("#[^\n]*")));
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

class TestWebEnginePlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void playsAsTheFlashControlDid();
    void healsFromBadMoviesAndCrashes();
    void longSessionKeepsOneStage();
    void missingOrBrokenPlayerFiles_data();
    void missingOrBrokenPlayerFiles();
    void runLeavesNothingBehind();

private:
    QString writeMovie(const QString &name, const QByteArray &bytes);
    void showPlayer();
    // Writes the movie, loads it and waits until it is shown.
    QString play(const QString &name, const QByteArray &bytes);
    // Writes the movie (none: the file is missing), loads it and waits until
    // it is refused.
    void refused(const QString &name, const QByteArray &bytes);
    bool shows(const QColor &colour, QPoint at = QPoint(288, 224));
    QVariant evaluate(const QString &script);
    int playerElements();
    void waitShown(const QString &path);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WebEnginePlayer> m_player;
};

void TestWebEnginePlayer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Work")));
    QVERIFY(QFile::link(QStringLiteral(ZORVINA_APP_DIR "/ruffle"),
                        m_dir->filePath(QStringLiteral("ruffle"))));
}

void TestWebEnginePlayer::cleanup()
{
    m_player.reset();
    m_dir.reset();
}

QString TestWebEnginePlayer::writeMovie(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("Work/") + name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestWebEnginePlayer::showPlayer()
{
    m_player = std::make_unique<WebEnginePlayer>(AppFolder(m_dir->path()));
    m_player->resize(577, 449);
    m_player->show();
    m_player->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_player.get()));
}

QString TestWebEnginePlayer::play(const QString &name, const QByteArray &bytes)
{
    const QString path = writeMovie(name, bytes);
    m_player->LoadMovie(0, path);
    waitShown(path);
    return path;
}

bool TestWebEnginePlayer::shows(const QColor &colour, QPoint at)
{
    return near(m_player->grab().toImage().pixelColor(at), colour);
}

QVariant TestWebEnginePlayer::evaluate(const QString &script)
{
    auto result = std::make_shared<std::optional<QVariant>>();
    m_player->page()->runJavaScript(script, [result](const QVariant &value) { *result = value; });
    if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs))
        return QStringLiteral("no answer");
    return **result;
}

int TestWebEnginePlayer::playerElements()
{
    // In the frame showing movies (a fresh one may be trying Ruffle out): the
    // movie shown and the spare for the next one.
    return evaluate(
               QStringLiteral(
                   "[...document.querySelectorAll('iframe:not(.waiting)')].reduce((count, frame) =>"
                   " count + frame.contentDocument.querySelectorAll('ruffle-player')"
                   ".length, 0)"))
        .toInt();
}

void TestWebEnginePlayer::waitShown(const QString &path)
{
    QSignalSpy shown(m_player.get(), &WebEnginePlayer::movieShown);
    QVERIFY(shown.wait(timeoutMs));
    QCOMPARE(shown.at(0).at(0).toString(), path);
}

void TestWebEnginePlayer::refused(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("Work/") + name);
    if (!bytes.isEmpty())
        writeMovie(name, bytes);
    QSignalSpy failed(m_player.get(), &WebEnginePlayer::loadFailed);
    m_player->LoadMovie(0, path);
    QVERIFY2(failed.wait(timeoutMs * 2), qPrintable(name));
    QCOMPARE(failed.at(0).at(0).toString(), path);
}

void TestWebEnginePlayer::playsAsTheFlashControlDid()
{
    showPlayer();
    QVERIFY(!m_player->isReady());
    QSignalSpy shown(m_player.get(), &WebEnginePlayer::movieShown);
    QSignalSpy failed(m_player.get(), &WebEnginePlayer::loadFailed);
    // The first one is big enough to be read from its URL rather than sent.
    const QString paths[] = {
        writeMovie(QStringLiteral("一.swf"), movie(green) + QByteArray(2 * 1024 * 1024, '\0')),
        writeMovie(QStringLiteral("二.swf"), movie(yellow)),
        writeMovie(QStringLiteral("三.swf"), movie(red, {blue}, {200, 100}))};
    // Asked for while the page starts: only the newest plays.
    for (const QString &path : paths)
        m_player->LoadMovie(0, path);
    QVERIFY(shown.wait(timeoutMs));
    QCOMPARE(shown.at(0).at(0).toString(), paths[2]);
    // A wide stage is shown whole (577 x 288) and centred, and above and
    // below it the movie's background, as the Flash control draws it, rather
    // than black bars.
    QTRY_VERIFY_WITH_TIMEOUT(shows(blue), timeoutMs);
    QVERIFY(shows(blue, QPoint(4, 224)) && shows(blue, QPoint(572, 224)));
    QVERIFY(shows(red, QPoint(288, 40)) && shows(red, QPoint(288, 410)));
    // The next one takes its place, to the area's corners.
    m_player->LoadMovie(0, paths[0]);
    waitShown(paths[0]);
    for (QPoint at : {QPoint(288, 224), QPoint(3, 3), QPoint(573, 445)})
        QTRY_VERIFY_WITH_TIMEOUT(shows(green, at), timeoutMs);
    QCOMPARE(failed.size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(playerElements(), 2, timeoutMs);

    // A movie whose every frame asks to leave; two frames, so that the menu
    // offers play and rewind.
    QSignalSpy navigations(m_player.get(), &QWebEngineView::loadStarted);
    const QUrl page = m_player->url();
    const int windows = QApplication::topLevelWidgets().size();
    play(QStringLiteral("四.swf"),
         movie(red, {green, yellow}, {577, 449}, 8.0, "http://example.com/"));
    QWidget *area = m_player->focusProxy();
    QVERIFY(area);
    // The shown movie's menu, in the newest frame: only Ruffle's, nothing in
    // it for developers or leading to a web site.
    const QString menu = QStringLiteral(
        "frames[frames.length - 1].document.querySelector('ruffle-player:not(.waiting)')"
        ".shadowRoot.getElementById('context-menu')");
    QTest::mouseClick(area, Qt::RightButton, {}, QPoint(288, 224));
    QTRY_VERIFY_WITH_TIMEOUT(
        evaluate(menu + QStringLiteral(".parentElement.classList.contains('hidden')")) ==
            QVariant(false),
        timeoutMs);
    const QStringList items =
        evaluate(menu + QStringLiteral(".innerText")).toString().split(QLatin1Char('\n'));
    for (const char *item : {"Play", "Rewind", "Forward", "Back", "Quality: High"})
        QVERIFY2(items.contains(QLatin1String(item)), qPrintable(items.join(QLatin1Char('|'))));
    QVERIFY(!items.contains(QStringLiteral("Copy Debug Info")));
    QVERIFY(!items.last().contains(QLatin1String("Ruffle")));
    QVERIFY(!items.last().isEmpty());
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(5, 5)); // closes it
    // The web engine's own menu is not there either, not even for
    // Shift+right-click, which Ruffle leaves to the browser.
    QTest::mouseClick(area, Qt::RightButton, Qt::ShiftModifier, QPoint(288, 224));
    // After two rounds of the loop the movie is still there.
    for (int round = 0; round < 2; ++round) {
        QTRY_VERIFY_WITH_TIMEOUT(shows(green), timeoutMs);
        QTRY_VERIFY_WITH_TIMEOUT(shows(yellow), timeoutMs);
    }
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    QCOMPARE(navigations.size(), 0);
    QCOMPARE(m_player->url(), page);
    // Ruffle's notices stay hidden however it tries to show them (its modal
    // dialogs lose their "hidden" class, its overlays get an inline display).
    const QString force = QStringLiteral(
        "(() => { const root = frames[frames.length - 1].document"
        "    .querySelector('ruffle-player:not(.waiting)').shadowRoot;"
        "  return ['hardware-acceleration-modal', 'clipboard-modal', 'unmute-overlay',"
        "          'play-button', 'splash-screen'].map(id => {"
        "    const part = root.getElementById(id); part.classList.remove('hidden');"
        "    part.style.display = 'block';"
        "    return id + ':' + getComputedStyle(part).display; }).join(' '); })()");
    QCOMPARE(evaluate(force).toString(),
             QStringLiteral("hardware-acceleration-modal:none clipboard-modal:none "
                            "unmute-overlay:none play-button:none splash-screen:none"));

    // Ruffle's own fallback font has no Chinese: drawn with it, 一 would be
    // missing or an empty box. From a system font it is a wide, flat bar,
    // whether the font the movie names is installed (top) or not (bottom).
    const auto darkBounds = [this](int top) {
        const QImage image = m_player->grab().toImage();
        QRect bounds;
        for (int y = top; y < top + 224; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 96)
                    bounds |= QRect(x, y, 1, 1);
            }
        }
        return bounds;
    };
    play(QStringLiteral("五.swf"), movieFixture("device-text"));
    for (int top : {0, 225}) {
        QTRY_VERIFY_WITH_TIMEOUT(!darkBounds(top).isEmpty(), timeoutMs);
        const QRect bar = darkBounds(top);
        QVERIFY2(bar.width() > 40 && bar.width() > 3 * bar.height(),
                 qPrintable(QStringLiteral("dark pixels in %1 x %2 from y = %3")
                                .arg(bar.width())
                                .arg(bar.height())
                                .arg(top)));
    }

    // The fresh frame that gets ready for later movies lies above the movie
    // shown; the child's clicks still go to the movie.
    evaluate(QStringLiteral("prepareFreshFrame()"));
    QTRY_COMPARE_WITH_TIMEOUT(evaluate(QStringLiteral("freshFrame !== null && freshFrame.ready")),
                              QVariant(true), timeoutMs);
    QCOMPARE(evaluate(QStringLiteral("document.elementFromPoint(288, 224) === shownFrame.frame")),
             QVariant(true));

    // The page reaches nothing but the player's own scheme, whose files are
    // checked one by one elsewhere. Each attempt leaves "read" or "refused"
    // in testResult.
    const QString attempt =
        QStringLiteral("window.testResult = '';"
                       "try { const r = new XMLHttpRequest(); r.open('GET', '%1');"
                       "    r.onload = () => testResult = r.status === 200 ? 'read' : 'refused';"
                       "    r.onerror = () => testResult = 'refused'; r.send();"
                       "} catch (e) { testResult = 'refused'; }");
    const auto result = [this, &attempt](const QString &url) {
        evaluate(attempt.arg(url));
        QString answer;
        const bool answered = QTest::qWaitFor(
            [&] { return !(answer = evaluate(QStringLiteral("testResult")).toString()).isEmpty(); },
            timeoutMs);
        return answered ? answer : QStringLiteral("no answer");
    };
    const QString local = writeMovie(QStringLiteral("config.ini"), "一\r\n");
    for (const QString &url :
         {QUrl::fromLocalFile(local).toString(), QStringLiteral("http://127.0.0.1:1/")})
        QCOMPARE(result(url), QStringLiteral("refused"));
    QCOMPARE(result(QStringLiteral("zorvina://player/ruffle/ruffle.js")), QStringLiteral("read"));
}

void TestWebEnginePlayer::healsFromBadMoviesAndCrashes()
{
    showPlayer();
    play(QStringLiteral("一.swf"), movie(red));
    // Refused by the page's file server, or past it and Ruffle gives up: the
    // last movie stays on screen.
    const QByteArray good = movie(green);
    refused(QStringLiteral("缺.swf"), QByteArray());
    refused(QStringLiteral("断.swf"), good.left(good.size() / 2));
    QTRY_VERIFY_WITH_TIMEOUT(shows(red), timeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(playerElements(), 2, timeoutMs);
    // Ruffle may report a hostile movie shown before it strikes; in any case
    // the next movie plays.
    QString last;
    const auto survive = [&](const char *hostile, const QColor &next) {
        QSignalSpy failed(m_player.get(), &WebEnginePlayer::loadFailed);
        QSignalSpy shown(m_player.get(), &WebEnginePlayer::movieShown);
        m_player->LoadMovie(0, writeMovie(QStringLiteral("二.swf"), movieFixture(hostile)));
        QTRY_VERIFY_WITH_TIMEOUT(!failed.isEmpty() || !shown.isEmpty(), timeoutMs * 2);
        last = play(QStringLiteral("after-%1.swf").arg(QLatin1String(hostile)), movie(next));
        QTRY_VERIFY_WITH_TIMEOUT(shows(next), timeoutMs);
    };
    // An endless loop hangs Ruffle: the page is started again.
    QSignalSpy restarts(m_player.get(), &QWebEngineView::loadStarted);
    survive("endless-loop", blue);
    QVERIFY(!restarts.isEmpty());
    // A huge bitmap leaves Ruffle panicking at every later movie: its frame
    // is replaced.
    survive("huge-bitmap", yellow);
    QTRY_COMPARE_WITH_TIMEOUT(playerElements(), 2, timeoutMs);

    // After a crash the movie that was showing comes back by itself.
    QSignalSpy ready(m_player.get(), &WebEnginePlayer::ready);
    const qint64 renderer = m_player->page()->renderProcessPid();
    QVERIFY(renderer > 0);
    QCOMPARE(QProcess::execute(QStringLiteral("kill"),
                               {QStringLiteral("-KILL"), QString::number(renderer)}),
             0);
    waitShown(last);
    QCOMPARE(ready.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(shows(yellow), timeoutMs);
}

void TestWebEnginePlayer::longSessionKeepsOneStage()
{
    // Ruffle is replaced by a fresh one every so many movies; over a long
    // session every movie still shows, and old frames do not pile up.
    showPlayer();
    const QList<QColor> colours = {red, green, blue};
    QStringList paths;
    for (int i = 0; i < colours.size(); ++i)
        paths << writeMovie(QStringLiteral("%1.swf").arg(i), movie(colours[i]));
    QSignalSpy failed(m_player.get(), &WebEnginePlayer::loadFailed);
    const int movies = 125;
    for (int i = 0; i < movies; ++i) {
        m_player->LoadMovie(0, paths[i % paths.size()]);
        waitShown(paths[i % paths.size()]);
    }
    QTRY_VERIFY_WITH_TIMEOUT(shows(colours[(movies - 1) % colours.size()]), timeoutMs);
    QCOMPARE(failed.size(), 0);
    // The frame showing movies, and at most one fresh frame getting ready:
    // whether that one is ready by now depends on the machine's speed.
    QVERIFY(evaluate(QStringLiteral("document.querySelectorAll('iframe').length")).toInt() <= 2);
    QTRY_COMPARE_WITH_TIMEOUT(playerElements(), 2, timeoutMs);
}

void TestWebEnginePlayer::missingOrBrokenPlayerFiles_data()
{
    QTest::addColumn<bool>("copyScripts");
    QTest::newRow("no Ruffle") << false;
    QTest::newRow("broken WebAssembly") << true;
}

void TestWebEnginePlayer::missingOrBrokenPlayerFiles()
{
    QFETCH(bool, copyScripts);
    const QDir ruffle(m_dir->filePath(QStringLiteral("ruffle")));
    QVERIFY(QFile::remove(ruffle.path()));
    if (copyScripts) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ruffle")));
        const QDir installed(QStringLiteral(ZORVINA_APP_DIR "/ruffle"));
        for (const QString &name : installed.entryList(QDir::Files)) {
            if (name.endsWith(QLatin1String(".wasm"))) {
                QFile wasm(ruffle.filePath(name));
                QVERIFY(wasm.open(QIODevice::WriteOnly));
                wasm.write(QByteArray(1000, '\0'));
            } else {
                QVERIFY(QFile::copy(installed.filePath(name), ruffle.filePath(name)));
            }
        }
    }
    m_player = std::make_unique<WebEnginePlayer>(AppFolder(m_dir->path()));
    QSignalSpy unavailable(m_player.get(), &WebEnginePlayer::unavailable);
    QSignalSpy failed(m_player.get(), &WebEnginePlayer::loadFailed);
    m_player->show();
    const QString path = writeMovie(QStringLiteral("一.swf"), movie(red));
    m_player->LoadMovie(0, path);
    QVERIFY(unavailable.wait(timeoutMs));
    QVERIFY(!unavailable.at(0).at(0).toString().isEmpty());
    QCOMPARE(failed.size(), 0);
    // The next selection tries again; failing again, it says nothing new.
    m_player->LoadMovie(0, path);
    QVERIFY(failed.wait(timeoutMs));
    QCOMPARE(unavailable.size(), 1);
    // Mended, the player plays without a restart.
    if (copyScripts)
        QVERIFY(QDir(ruffle.path()).removeRecursively());
    QVERIFY(QFile::link(QStringLiteral(ZORVINA_APP_DIR "/ruffle"), ruffle.path()));
    m_player->LoadMovie(0, path);
    waitShown(path);
    QCOMPARE(unavailable.size(), 1);
}

void TestWebEnginePlayer::runLeavesNothingBehind()
{
    // Home and the session's runtime folder, private as a session's are.
    const QString home = m_dir->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home));
    QVERIFY(QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString path = writeMovie(QStringLiteral("一.swf"), movie(red));
    const QString runId = QUuid::createUuid().toString(QUuid::WithoutBraces);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                             "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        env.insert(QLatin1String(name), home);
    env.insert(QStringLiteral("ZORVINA_TEST_RUN"), runId);
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(QStringLiteral(PLAYERRUN_PATH), {m_dir->path(), path});
    QVERIFY(run.waitForFinished(timeoutMs * 2));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 0);

    QCOMPARE(run.readAllStandardOutput(), QByteArray());
    // Only what this test's own set-up makes Qt say: the sandbox is switched
    // off, and the offscreen platform has no OpenGL.
    QByteArrayList errors = run.readAllStandardError().split('\n');
    errors.removeAll("Sandboxing disabled by user.");
    errors.removeAll("No suitable graphics backend found");
    errors.removeAll("");
    QCOMPARE(errors.join('\n'), QByteArray());

    QStringList left;
    QDirIterator it(home, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        left << QDir(home).relativeFilePath(it.next());
    // The sound system's client makes its (empty) socket folder in the
    // session's runtime folder; a desktop session has it already.
    left.removeAll(QStringLiteral("pulse"));
    QCOMPARE(left, QStringList());

    // No process of the run outlives it.
    const auto survivors = [&runId] {
        int count = 0;
        const QByteArray marker = "ZORVINA_TEST_RUN=" + runId.toLatin1();
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
            if (environ.open(QIODevice::ReadOnly) && environ.readAll().contains(marker))
                ++count;
        }
        return count;
    };
    QTRY_COMPARE_WITH_TIMEOUT(survivors(), 0, timeoutMs);
}

QTEST_MAIN(TestWebEnginePlayer)
#include "tst_webengineplayer.moc"
