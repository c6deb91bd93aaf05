// SPDX-License-Identifier: GPL-3.0-or-later
#include "stillcompare.h"

#include "appfolder.h"
#include "renderer.h"
#include "stage.h"
#include "swfmovie.h"
#include "webengineplayer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QTimer>
#include <algorithm>

namespace stills {

Difference compare(const QImage &a, const QImage &b, int tolerance)
{
    Difference d;
    if (a.size() != b.size() || a.isNull()) {
        d.largest = 255;
        d.pixels = d.pastTolerance = std::max<qint64>(1, qint64(a.width()) * a.height());
        return d;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    d.picture = QImage(a.size(), QImage::Format_RGB32);
    d.pixels = qint64(a.width()) * a.height();
    for (int row = 0; row < a.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        auto *out = reinterpret_cast<QRgb *>(d.picture.scanLine(row));
        for (int col = 0; col < a.width(); ++col) {
            const int diff = std::max({std::abs(qRed(p[col]) - qRed(q[col])),
                                       std::abs(qGreen(p[col]) - qGreen(q[col])),
                                       std::abs(qBlue(p[col]) - qBlue(q[col]))});
            d.largest = std::max(d.largest, diff);
            if (diff > tolerance) {
                ++d.pastTolerance;
                out[col] = qRgb(255, 0, 0);
            } else {
                const int grey = std::min(255, diff * 255 / std::max(1, tolerance));
                out[col] = qRgb(grey / 2, grey / 2, grey / 2);
            }
        }
    }
    return d;
}

QImage nativePicture(const QByteArray &still, int ticks, const QSize &size, QString *error)
{
    const swf::ReadResult read = swf::readMovie(still);
    if (read.verdict != swf::ReadResult::Verdict::Native) {
        *error = read.reason.isEmpty() ? QStringLiteral("not played natively") : read.reason;
        return QImage();
    }
    swf::Stage stage(read.movie, nullptr);
    for (int i = 0; i < ticks; ++i)
        stage.advance();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(read.movie->background);
    QPainter painter(&image);
    swf::Renderer renderer(read.movie);
    renderer.paint(painter, stage.root(),
                   swf::Renderer::showAll(read.movie->stage, QRectF(QPointF(0, 0), QSizeF(size))));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

QSize stageSize(const QByteArray &movie)
{
    const swf::ReadResult read = swf::readMovie(movie);
    if (!read.movie)
        return QSize();
    return QSize(qRound(read.movie->stage.width() / 20), qRound(read.movie->stage.height() / 20));
}

int frameCount(const QByteArray &movie)
{
    const swf::ReadResult read = swf::readMovie(movie);
    return read.movie ? int(read.movie->root.frames.size()) : 0;
}

WebStills::WebStills(const QString &ruffleDir)
{
    if (!m_folder.isValid() || !QDir(m_folder.path()).mkpath(QStringLiteral("Work")) ||
        !QDir(m_folder.path()).mkpath(QStringLiteral("Temp")) ||
        !QDir(m_folder.path()).mkpath(QStringLiteral("hanzi")) ||
        !QFile::link(ruffleDir, m_folder.filePath(QStringLiteral("ruffle"))))
        return;
    m_player = std::make_unique<WebEnginePlayer>(AppFolder(m_folder.path()));
    m_player->show();
    m_valid = true;
}

WebStills::~WebStills() = default;

namespace {

// Runs the event loop for ms.
void pump(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

QImage WebStills::show(const QByteArray &still, const QSize &size, int minimumMs,
                       const std::function<bool(const QImage &)> &good, int timeoutMs,
                       QString *error)
{
    if (m_player->size() != size)
        m_player->resize(size);
    const QString work = m_folder.filePath(QStringLiteral("Work"));
    QFile::remove(QStringLiteral("%1/still%2.swf").arg(work).arg(m_count));
    const QString path = QStringLiteral("%1/still%2.swf").arg(work).arg(++m_count);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(still) != still.size() || !file.flush()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return QImage();
    }
    file.close();

    bool shown = false;
    bool failed = false;
    const auto onShown = QObject::connect(m_player.get(), &WebEnginePlayer::movieShown,
                                          [&](const QString &p) { shown = shown || p == path; });
    const auto onFailed = QObject::connect(m_player.get(), &WebEnginePlayer::loadFailed,
                                           [&](const QString &p) { failed = failed || p == path; });
    m_player->LoadMovie(0, path);
    QElapsedTimer clock;
    clock.start();
    while (!shown && !failed && clock.elapsed() < timeoutMs)
        pump(20);
    QObject::disconnect(onShown);
    QObject::disconnect(onFailed);
    if (!shown) {
        *error = failed ? QStringLiteral("the web player refused the movie")
                        : QStringLiteral("the web player did not show the movie in time");
        return QImage();
    }
    // The movie's clock may lag behind the one asked for, and a pause in
    // its animation holds the picture still on the way: only a picture
    // after twice the expected time counts.
    clock.restart();
    const qint64 settled = 2 * qint64(minimumMs) + 1000;
    QImage previous;
    QImage steady;
    while (clock.elapsed() < settled + timeoutMs) {
        pump(200);
        const QImage now = m_player->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (clock.elapsed() >= settled && now == previous) {
            steady = now;
            if (good(steady))
                break;
        }
        previous = now;
    }
    if (steady.isNull()) {
        *error = QStringLiteral("the web player's picture never held still");
        return previous;
    }
    return steady;
}

} // namespace stills
