// SPDX-License-Identifier: GPL-3.0-or-later
#include "appfolder.h"
#include "playerfiles.h"

#include <QIODevice>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// A movie header with the given signature and declared length, padded to
// size bytes.
QByteArray movieBytes(const char *signature, quint32 declaredLength, int size)
{
    QByteArray bytes(signature);
    bytes.append(char(10));
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((declaredLength >> shift) & 0xff));
    bytes.append(QByteArray(qMax(0, size - int(bytes.size())), '\0'));
    return bytes.left(size);
}

const QByteArray goodMovie = movieBytes("FWS", 30, 30);

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

} // namespace

class TestPlayerFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void served_data();
    void served();
    void rufflePresent_data();
    void rufflePresent();

private:
    void write(const QString &relative, const QByteArray &bytes);

    QTemporaryDir m_app;
};

void TestPlayerFiles::write(const QString &relative, const QByteArray &bytes)
{
    const QString path = m_app.filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestPlayerFiles::initTestCase()
{
    QVERIFY(m_app.isValid());
    // Each of Ruffle's files holds its own name.
    for (const char *name :
         {"ruffle.js", "core.ruffle.0123.js", "0123.wasm", "ruffle.js.map", ".hidden.js"})
        write(QStringLiteral("ruffle/") + QLatin1String(name), name);
    write(QStringLiteral("config.ini"), "secret");
    write(QStringLiteral("Work/一.swf"), goodMovie);
    write(QStringLiteral("Work/notes.txt"), "notes");
    write(QStringLiteral("Work/sub/二.swf"), goodMovie);
    // 200 MB, though hardly any of it on the disk.
    const quint32 huge = 200 * 1024 * 1024;
    write(QStringLiteral("Work/大.swf"), movieBytes("FWS", huge, 30));
    QVERIFY(QFile::resize(m_app.filePath(QStringLiteral("Work/大.swf")), huge));
    QVERIFY(QFile::link(m_app.filePath(QStringLiteral("config.ini")),
                        m_app.filePath(QStringLiteral("Work/link.swf"))));
    // Movies as their headers describe them.
    write(QStringLiteral("Work/longer.swf"), movieBytes("FWS", 30, 40));
    write(QStringLiteral("Work/zlib.swf"), movieBytes("CWS", 1000, 30));
    write(QStringLiteral("Work/lzma.swf"), movieBytes("ZWS", 1000, 30));
    write(QStringLiteral("Work/cut.swf"), movieBytes("FWS", 100, 50));
    write(QStringLiteral("Work/small.swf"), movieBytes("FWS", 4, 30));
    write(QStringLiteral("Work/gif.swf"), movieBytes("GIF", 30, 30));
    write(QStringLiteral("Work/part.swf"), "FWS\x0a\x1e");
}

void TestPlayerFiles::served_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("movie");       // the current movie, relative to the app folder
    QTest::addColumn<QByteArray>("mimeType"); // empty: refused
    const auto row = [](const char *name, const char *url, const char *movie = "",
                        const char *mimeType = "") {
        QTest::newRow(name) << QString::fromUtf8(url) << QString::fromUtf8(movie)
                            << QByteArray(mimeType);
    };
    const char *js = "text/javascript";
    const char *swf = "application/x-shockwave-flash";
    const char *movie = "zorvina://player/movie/7.swf";
    const char *first = "Work/一.swf";

    // The page's own files; every other one it needs is played in the player test.
    row("page", "zorvina://player/player.html", "", "text/html");
    row("page script", "zorvina://player/stage.js", "", js);
    row("no such page", "zorvina://player/other.html");
    row("ruffle", "zorvina://player/ruffle/ruffle.js", "", js);
    row("wasm", "zorvina://player/ruffle/0123.wasm", "", "application/wasm");
    row("source map", "zorvina://player/ruffle/ruffle.js.map");
    row("hidden", "zorvina://player/ruffle/.hidden.js");
    row("missing", "zorvina://player/ruffle/none.js");
    row("up and out", "zorvina://player/ruffle/../config.ini");
    row("encoded up", "zorvina://player/ruffle/%2E%2E%2Fconfig.ini");
    row("encoded slash", "zorvina://player/ruffle/x%2F..%2F..%2Fconfig.ini");
    row("other host", "zorvina://elsewhere/player.html");
    row("other scheme", "file:///etc/hostname");
    row("query", "zorvina://player/ruffle/ruffle.js?x=1");

    row("movie", movie, first, swf);
    row("movie, roundabout path", movie, "Work/../Work/一.swf", swf);
    row("no movie yet", movie);
    row("earlier ticket", "zorvina://player/movie/6.swf", first);
    row("outside Work", movie, "config.ini");
    row("link out of Work", movie, "Work/link.swf");
    row("below Work", movie, "Work/sub/二.swf");
    row("not a movie", movie, "Work/notes.txt");
    row("movie gone", movie, "Work/三.swf");
    row("far too big", movie, "Work/大.swf");
    row("longer than declared", movie, "Work/longer.swf", swf);
    // The length of a compressed movie is that of its inflated contents.
    row("zlib", movie, "Work/zlib.swf", swf);
    row("lzma", movie, "Work/lzma.swf", swf);
    row("cut short", movie, "Work/cut.swf");
    row("length too small", movie, "Work/small.swf");
    row("not Flash", movie, "Work/gif.swf");
    row("header only in part", movie, "Work/part.swf");
}

void TestPlayerFiles::served()
{
    QFETCH(QString, url);
    QFETCH(QString, movie);
    QFETCH(QByteArray, mimeType);

    PlayerFiles files{AppFolder(m_app.path())};
    if (!movie.isEmpty())
        files.setCurrentMovie(7, m_app.filePath(movie));
    QByteArray type;
    std::unique_ptr<QIODevice> device = files.open(QUrl(url), &type);
    QCOMPARE(bool(device), !mimeType.isEmpty());
    if (!device)
        return;
    QCOMPARE(type, mimeType);
    const QByteArray bytes = device->readAll();
    if (!movie.isEmpty())
        QCOMPARE(bytes, readFile(m_app.filePath(movie)));
    else if (url.contains(QLatin1String("/ruffle/")))
        QCOMPARE(bytes, QUrl(url).fileName().toUtf8());
    else
        QVERIFY(!bytes.isEmpty());
}

void TestPlayerFiles::rufflePresent_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("present");
    const QString js = QStringLiteral("ruffle.js");
    const QString core = QStringLiteral("core.ruffle.ab12.js");
    const QString wasm = QStringLiteral("ab12.wasm");
    QTest::newRow("complete") << QStringList{js, core, wasm} << true;
    QTest::newRow("no loader") << QStringList{core, wasm} << false;
    QTest::newRow("no core") << QStringList{js, wasm} << false;
    QTest::newRow("no WebAssembly") << QStringList{js, core} << false;
}

void TestPlayerFiles::rufflePresent()
{
    QFETCH(QStringList, names);
    QFETCH(bool, present);
    QTemporaryDir app;
    QVERIFY(QDir(app.path()).mkdir(QStringLiteral("ruffle")));
    for (const QString &name : names) {
        QFile file(app.filePath(QStringLiteral("ruffle/") + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(PlayerFiles(AppFolder(app.path())).rufflePresent(), present);
}

QTEST_GUILESS_MAIN(TestPlayerFiles)
#include "tst_playerfiles.moc"
