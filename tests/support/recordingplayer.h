#ifndef ZORVINA_RECORDINGPLAYER_H
#define ZORVINA_RECORDINGPLAYER_H

#include "movieplayer.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

// A movie area that plays nothing and remembers every load it was asked for.
class RecordingPlayer : public MoviePlayer
{
public:
    RecordingPlayer() : m_widget(new QWidget) { m_widget->setFocusPolicy(Qt::StrongFocus); }
    ~RecordingPlayer() override { delete m_widget; }

    QWidget *widget() override { return m_widget; }

    void LoadMovie(int layer, const QString &path) override
    {
        layers.append(layer);
        paths.append(path);
    }

    QList<int> layers;
    QStringList paths;

private:
    QPointer<QWidget> m_widget; // the window takes it over and may delete it first
};

#endif
