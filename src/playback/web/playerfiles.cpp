// SPDX-License-Identifier: GPL-3.0-or-later
#include "playerfiles.h"

#include "appfolder.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>

namespace {

const QLatin1String host("player");
const QLatin1String rufflePrefix("/ruffle/");
const QLatin1String moviePrefix("/movie/");

// A single file name: no folders, no "..", nothing hidden.
bool isPlainName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.-]*$"));
    return plain.match(name).hasMatch();
}

std::unique_ptr<QIODevice> openFile(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return file;
}

} // namespace

PlayerFiles::PlayerFiles(const AppFolder &folder)
    : m_ruffleDir(folder.file(QStringLiteral("/ruffle"))), m_movieFile(folder.playingFolder())
{
}

QByteArray PlayerFiles::scheme()
{
    return QByteArrayLiteral("zorvina");
}

QUrl PlayerFiles::pageUrl()
{
    return QUrl(QStringLiteral("zorvina://player/player.html"));
}

QUrl PlayerFiles::stageUrl()
{
    return QUrl(QStringLiteral("zorvina://player/stage.html"));
}

QUrl PlayerFiles::movieUrl(int ticket)
{
    return QUrl(QStringLiteral("zorvina://player/movie/%1.swf").arg(ticket));
}

bool PlayerFiles::rufflePresent() const
{
    const auto present = [this](const QString &pattern) {
        return !m_ruffleDir.entryList({pattern}, QDir::Files | QDir::Readable).isEmpty();
    };
    return present(QStringLiteral("ruffle.js")) && present(QStringLiteral("core.ruffle.*.js")) &&
           present(QStringLiteral("*.wasm"));
}

void PlayerFiles::setCurrentMovie(int ticket, const QString &path)
{
    m_movieTicket = ticket;
    // Read now: the window replaces the file in Work on the next selection.
    m_movie = m_movieFile.read(path);
}

void PlayerFiles::setCurrentMovieData(int ticket, const QByteArray &movie)
{
    m_movieTicket = ticket;
    m_movie = MovieFile::looksLikeMovie(movie) ? movie : QByteArray();
}

std::unique_ptr<QIODevice> PlayerFiles::open(const QUrl &url, QByteArray *mimeType) const
{
    if (url.scheme() != QLatin1String(scheme()) || url.host() != host || url.hasQuery())
        return nullptr;
    const QString path = url.path();
    if (path.startsWith(rufflePrefix))
        return openRuffleFile(path.mid(rufflePrefix.size()), mimeType);
    if (path.startsWith(moviePrefix))
        return openMovie(path.mid(moviePrefix.size()), mimeType);
    return openPageFile(path.mid(1), mimeType);
}

std::unique_ptr<QIODevice> PlayerFiles::openPageFile(const QString &name,
                                                     QByteArray *mimeType) const
{
    if (name == QLatin1String("player.html")) {
        *mimeType = QByteArrayLiteral("text/html");
        return openFile(QStringLiteral(":/zorvina/player/player.html"));
    }
    if (name == QLatin1String("stage.html")) {
        *mimeType = QByteArrayLiteral("text/html");
        return openFile(QStringLiteral(":/zorvina/player/stage.html"));
    }
    if (name == QLatin1String("player.js") || name == QLatin1String("stage.js")) {
        *mimeType = QByteArrayLiteral("text/javascript");
        return openFile(QStringLiteral(":/zorvina/player/") + name);
    }
    if (name == QLatin1String("qwebchannel.js")) {
        *mimeType = QByteArrayLiteral("text/javascript");
        return openFile(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    }
    return nullptr;
}

std::unique_ptr<QIODevice> PlayerFiles::openRuffleFile(const QString &name,
                                                       QByteArray *mimeType) const
{
    if (!isPlainName(name))
        return nullptr;
    if (name.endsWith(QLatin1String(".js")))
        *mimeType = QByteArrayLiteral("text/javascript");
    else if (name.endsWith(QLatin1String(".wasm")))
        *mimeType = QByteArrayLiteral("application/wasm");
    else
        return nullptr;
    return openFile(m_ruffleDir.filePath(name));
}

std::unique_ptr<QIODevice> PlayerFiles::openMovie(const QString &name, QByteArray *mimeType) const
{
    if (m_movie.isEmpty() || name != QStringLiteral("%1.swf").arg(m_movieTicket))
        return nullptr;
    auto movie = std::make_unique<QBuffer>();
    movie->setData(m_movie);
    if (!movie->open(QIODevice::ReadOnly))
        return nullptr;
    *mimeType = QByteArrayLiteral("application/x-shockwave-flash");
    return movie;
}
