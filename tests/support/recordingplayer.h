// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_RECORDINGPLAYER_H
#define ZORVINA_RECORDINGPLAYER_H

#include "movieplayer.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

// A movie area that plays nothing and remembers every load it was asked for,
// and every time practice was turned on or off. Whether the movie last loaded
// has practice is up to the test. As the real one does, loading a movie ends
// any practice.
class RecordingPlayer : public MoviePlayer
{
public:
    ~RecordingPlayer() override { delete m_widget; }

    // Made on demand, so tests without widgets need no QApplication.
    QWidget *widget() override
    {
        if (!m_widget) {
            m_widget = new QWidget;
            m_widget->setFocusPolicy(Qt::StrongFocus);
        }
        return m_widget;
    }

    // The layer is checked by the journey: the real player plays layer 0 only.
    void LoadMovie(int, const QString &path) override
    {
        paths.append(path);
        m_practising = false;
    }

    bool canPractise() const override { return practiceAvailable; }
    bool isPractising() const override { return m_practising; }
    void setPractising(bool on) override
    {
        practising.append(on);
        // Like the movie area, it starts no practice it cannot offer.
        m_practising = on && practiceAvailable;
    }

    QStringList paths;
    bool practiceAvailable = false;
    QList<bool> practising; // every setPractising call, in order

private:
    QPointer<QWidget> m_widget; // the window takes it over and may delete it first
    bool m_practising = false;
};

#endif
