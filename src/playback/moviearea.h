#ifndef ZORVINA_MOVIEAREA_H
#define ZORVINA_MOVIEAREA_H

#include "moviefile.h"
#include "movieplayer.h"

#include <QPointer>
#include <QWidget>
#include <memory>

class AppFolder;
class NativePlayer;
class QStackedLayout;
class WebEnginePlayer;
namespace swf {
struct Movie;
}

// The movie area: each movie is read once and played by the native player
// when it understands all of it; anything else goes to the web player, which
// is started the first time such a movie comes and then stays. Which of the
// two plays a movie is decided before its first frame and shows nowhere.
class MovieArea : public QWidget, public MoviePlayer
{
    Q_OBJECT
public:
    explicit MovieArea(const AppFolder &folder, QWidget *parent = nullptr);
    ~MovieArea() override;

    QWidget *widget() override { return this; }
    void LoadMovie(int layer, const QString &path) override;

    NativePlayer *nativePlayer() const { return m_native; }
    // Null until the first movie the native player cannot play.
    WebEnginePlayer *webPlayer() const { return m_web; }

Q_SIGNALS:
    // The web player cannot start; message is a sentence for the user.
    void unavailable(const QString &message);
    // The first frame of the movie loaded from path is on the screen.
    void movieShown(const QString &path);
    // Nothing could play the movie at path; the movie shown before stays.
    void loadFailed(const QString &path);

private:
    void playNatively(const QString &path, std::shared_ptr<const swf::Movie> movie);
    void playOnWeb(const QString &path, const QByteArray &bytes);
    WebEnginePlayer *startWebPlayer();
    void onWebShown(const QString &path);
    void onWebFailed(const QString &path);

    const AppFolder &m_folder;
    MovieFile m_movieFile;
    QStackedLayout *m_layout;
    NativePlayer *m_native;
    QString m_nativePath;
    QPointer<WebEnginePlayer> m_web;
    // The movie the web player was last given, while it is the one wanted.
    QString m_webRequest;
    bool m_webWanted = false;
};

#endif
