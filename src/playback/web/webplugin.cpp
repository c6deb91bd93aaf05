// SPDX-License-Identifier: GPL-3.0-or-later
// The web player as a module the program loads on first need.
#include "appfolder.h"
#include "fallbackplayer.h"
#include "webengineplayer.h"
#include "webengineprocess.h"

namespace {

class WebFallback : public FallbackPlayer
{
public:
    WebFallback(const AppFolder &folder, const Listener &listener, QWidget *parent)
        : m_player(new WebEnginePlayer(folder, parent))
    {
        QObject::connect(m_player, &WebEnginePlayer::movieShown, m_player, listener.shown);
        QObject::connect(m_player, &WebEnginePlayer::loadFailed, m_player, listener.failed);
        QObject::connect(m_player, &WebEnginePlayer::unavailable, m_player, listener.unavailable);
    }

    QWidget *widget() override { return m_player; }
    void loadMovieData(const QString &path, const QByteArray &movie) override
    {
        m_player->loadMovieData(path, movie);
    }
    void showNothing() override { m_player->showNothing(); }

private:
    WebEnginePlayer *m_player;
};

} // namespace

extern "C" Q_DECL_EXPORT FallbackPlayer *zorvinaCreateWebPlayer(
    const QString &folderPath, const QString &writingPath,
    const FallbackPlayer::Listener &listener, QWidget *parent)
{
    static const bool prepared = (prepareWebEngineLate(), true);
    Q_UNUSED(prepared);
    const AppFolder folder = folderPath == writingPath ? AppFolder(folderPath)
                                                       : AppFolder(folderPath, writingPath);
    return new WebFallback(folder, listener, parent);
}
