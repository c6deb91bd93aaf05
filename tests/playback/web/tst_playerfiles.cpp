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

} // namespace

class TestPlayerFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void served_data();
    void served();
    void movieHeader_data();
    void movieHeader();
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
    write(QStringLiteral("ruffle/ruffle.js"), "ruffle");
    write(QStringLiteral("ruffle/core.ruffle.0123.js"), "core");
    write(QStringLiteral("ruffle/0123.wasm"), "wasm");
    write(QStringLiteral("ruffle/ruffle.js.map"), "map");
    write(QStringLiteral("ruffle/LICENSE_MIT"), "licence");
    write(QStringLiteral("ruffle/.hidden.js"), "hidden");
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
}

void TestPlayerFiles::served_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("movie");       // the current movie, relative to the app folder
    QTest::addColumn<QByteArray>("mimeType"); // empty: refused
    QTest::addColumn<QByteArray>("content");  // checked when not empty

    const QString page = QStringLiteral("zorvina://player/");
    const QString movie = QStringLiteral("zorvina://player/movie/7.swf");
    const QString first = QStringLiteral("Work/一.swf");
    const QByteArray js = "text/javascript";
    const QByteArray swf = "application/x-shockwave-flash";

    QTest::newRow("page") << page + QStringLiteral("player.html") << QString()
                          << QByteArray("text/html") << QByteArray();
    QTest::newRow("page script") << page + QStringLiteral("player.js") << QString() << js
                                 << QByteArray();
    QTest::newRow("stage") << page + QStringLiteral("stage.html") << QString()
                           << QByteArray("text/html") << QByteArray();
    QTest::newRow("stage script") << page + QStringLiteral("stage.js") << QString() << js
                                  << QByteArray();
    QTest::newRow("no such page") << page + QStringLiteral("other.html") << QString()
                                  << QByteArray() << QByteArray();
    QTest::newRow("root") << page << QString() << QByteArray() << QByteArray();
    QTest::newRow("ruffle") << page + QStringLiteral("ruffle/ruffle.js") << QString() << js
                            << QByteArray("ruffle");
    QTest::newRow("ruffle core") << page + QStringLiteral("ruffle/core.ruffle.0123.js") << QString()
                                 << js << QByteArray("core");
    QTest::newRow("wasm") << page + QStringLiteral("ruffle/0123.wasm") << QString()
                          << QByteArray("application/wasm") << QByteArray("wasm");
    QTest::newRow("source map") << page + QStringLiteral("ruffle/ruffle.js.map") << QString()
                                << QByteArray() << QByteArray();
    QTest::newRow("licence") << page + QStringLiteral("ruffle/LICENSE_MIT") << QString()
                             << QByteArray() << QByteArray();
    QTest::newRow("hidden") << page + QStringLiteral("ruffle/.hidden.js") << QString()
                            << QByteArray() << QByteArray();
    QTest::newRow("missing") << page + QStringLiteral("ruffle/none.js") << QString() << QByteArray()
                             << QByteArray();
    QTest::newRow("up and out") << page + QStringLiteral("ruffle/../config.ini") << QString()
                                << QByteArray() << QByteArray();
    QTest::newRow("encoded up") << page + QStringLiteral("ruffle/%2E%2E%2Fconfig.ini") << QString()
                                << QByteArray() << QByteArray();
    QTest::newRow("encoded slash") << page + QStringLiteral("ruffle/x%2F..%2F..%2Fconfig.ini")
                                   << QString() << QByteArray() << QByteArray();
    QTest::newRow("other host") << QStringLiteral("zorvina://elsewhere/player.html") << QString()
                                << QByteArray() << QByteArray();
    QTest::newRow("other scheme") << QStringLiteral("file:///etc/hostname") << QString()
                                  << QByteArray() << QByteArray();
    QTest::newRow("query") << page + QStringLiteral("ruffle/ruffle.js?x=1") << QString()
                           << QByteArray() << QByteArray();

    QTest::newRow("movie") << movie << first << swf << goodMovie;
    QTest::newRow("movie, roundabout path")
        << movie << QStringLiteral("Work/../Work/一.swf") << swf << goodMovie;
    QTest::newRow("no movie yet") << movie << QString() << QByteArray() << QByteArray();
    QTest::newRow("earlier ticket")
        << QStringLiteral("zorvina://player/movie/6.swf") << first << QByteArray() << QByteArray();
    QTest::newRow("path as name") << QStringLiteral("zorvina://player/movie/Work/一.swf") << first
                                  << QByteArray() << QByteArray();
    QTest::newRow("outside Work") << movie << QStringLiteral("config.ini") << QByteArray()
                                  << QByteArray();
    QTest::newRow("link out of Work")
        << movie << QStringLiteral("Work/link.swf") << QByteArray() << QByteArray();
    QTest::newRow("below Work") << movie << QStringLiteral("Work/sub/二.swf") << QByteArray()
                                << QByteArray();
    QTest::newRow("not a movie") << movie << QStringLiteral("Work/notes.txt") << QByteArray()
                                 << QByteArray();
    QTest::newRow("movie gone") << movie << QStringLiteral("Work/三.swf") << QByteArray()
                                << QByteArray();
    QTest::newRow("far too big") << movie << QStringLiteral("Work/大.swf") << QByteArray()
                                 << QByteArray();
    QTest::newRow("Work itself") << movie << QStringLiteral("Work") << QByteArray() << QByteArray();
}

void TestPlayerFiles::served()
{
    QFETCH(QString, url);
    QFETCH(QString, movie);
    QFETCH(QByteArray, mimeType);
    QFETCH(QByteArray, content);

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
    QVERIFY(!bytes.isEmpty());
    if (!content.isEmpty())
        QCOMPARE(bytes, content);
}

void TestPlayerFiles::movieHeader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("served");
    QTest::newRow("uncompressed") << movieBytes("FWS", 30, 30) << true;
    QTest::newRow("longer than declared") << movieBytes("FWS", 30, 40) << true;
    // The length of a compressed movie is that of its inflated contents.
    QTest::newRow("zlib") << movieBytes("CWS", 1000, 30) << true;
    QTest::newRow("lzma") << movieBytes("ZWS", 1000, 30) << true;
    QTest::newRow("cut short") << movieBytes("FWS", 100, 50) << false;
    QTest::newRow("length too small") << movieBytes("FWS", 4, 30) << false;
    QTest::newRow("not Flash") << movieBytes("GIF", 30, 30) << false;
    QTest::newRow("header only in part") << QByteArray("FWS\x0a\x1e") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestPlayerFiles::movieHeader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, served);
    QTemporaryDir app;
    QVERIFY(QDir(app.path()).mkdir(QStringLiteral("Work")));
    const QString path = app.filePath(QStringLiteral("Work/一.swf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    PlayerFiles files{AppFolder(app.path())};
    files.setCurrentMovie(1, path);
    QByteArray type;
    std::unique_ptr<QIODevice> device = files.open(PlayerFiles::movieUrl(1), &type);
    QCOMPARE(bool(device), served);
    if (device)
        QCOMPARE(device->readAll(), bytes);
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
    QTest::newRow("nothing") << QStringList{} << false;
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
