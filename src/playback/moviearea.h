// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_MOVIEAREA_H
#define ZORVINA_MOVIEAREA_H

#include "appfolder.h"
#include "fallbackplayer.h"
#include "moviefile.h"
#include "movieplayer.h"

#include <QWidget>
#include <memory>
#include <optional>

class NativePlayer;
class PracticeArea;
class QStackedLayout;
namespace practice {
struct PracticeData;
}
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
    // webModule: the file of the web player's module, loaded on first need.
    MovieArea(const AppFolder &folder, const QString &webModule, QWidget *parent = nullptr);
    ~MovieArea() override;

    QWidget *widget() override { return this; }
    void LoadMovie(int layer, const QString &path) override;

    // Practice is offered for a movie the native player plays that carries
    // readable practice data. Practising pauses the lesson; going back to
    // it starts the lesson again from its beginning.
    bool canPractise() const override;
    bool isPractising() const override;
    void setPractising(bool on) override;

    NativePlayer *nativePlayer() const { return m_native; }
    // Null until the first practice.
    PracticeArea *practiceArea() const { return m_practice; }
    // Null until the first movie the native player cannot play.
    QWidget *webPlayer() const { return m_web ? m_web->widget() : nullptr; }

Q_SIGNALS:
    // The web player cannot start; message is a sentence for the user.
    void unavailable(const QString &message);
    // The first frame of the movie loaded from path is on the screen.
    void movieShown(const QString &path);
    // Nothing could play the movie at path; the movie shown before stays.
    void loadFailed(const QString &path);
    // Practice began, or ended in any way (also by itself, after the
    // finished character has shown for a while).
    void practiceChanged(bool practising);

private:
    void playNatively(const QString &path, std::shared_ptr<const swf::Movie> movie);
    void playOnWeb(const QString &path, const QByteArray &bytes);
    FallbackPlayer *startWebPlayer();
    void onWebShown(const QString &path);
    void onWebFailed(const QString &path);
    // Back to the native player; replayLesson starts the lesson again.
    void leavePractice(bool replayLesson);

    const AppFolder m_folder;
    const QString m_webModule;
    MovieFile m_movieFile;
    QStackedLayout *m_layout;
    NativePlayer *m_native;
    QString m_nativePath;
    std::shared_ptr<const swf::Movie> m_nativeMovie;
    std::unique_ptr<practice::PracticeData> m_practiceData;
    PracticeArea *m_practice = nullptr;
    std::unique_ptr<FallbackPlayer> m_web;
    // The movie the web player was last given, while it is the one wanted.
    QString m_webRequest;
    bool m_webWanted = false;
};

#endif
