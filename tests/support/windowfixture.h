// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_WINDOWFIXTURE_H
#define ZORVINA_WINDOWFIXTURE_H

#include "characterlist.h"
#include "cursorfile.h"
#include "frmmain.h"
#include "picturebutton.h"
#include "recordingdialogs.h"
#include "recordingplayer.h"
#include "searchbox.h"
#include "testfolder.h"
#include "textfile.h"

#include <QImage>
#include <QTest>
#include <memory>

// The window's controls, found by their object names, so that tests do not
// depend on how the window keeps them.
class WindowControls
{
public:
    explicit WindowControls(const QWidget &window) : m_window(window) {}

    CharacterList *List1() const { return find<CharacterList>("List1"); }
    QWidget *objSh() const { return find<QWidget>("objSh"); }
    SearchBox *txtInput() const { return find<SearchBox>("txtInput"); }
    PictureButton *cmdUp() const { return find<PictureButton>("cmdUp"); }
    PictureButton *cmdDown() const { return find<PictureButton>("cmdDown"); }
    PictureButton *cmdClose() const { return find<PictureButton>("cmdClose"); }

private:
    template <typename T> T *find(const char *name) const
    {
        T *control = m_window.findChild<T *>(QLatin1String(name));
        if (!control)
            qFatal("The window has no control named %s", name);
        return control;
    }

    const QWidget &m_window;
};

// A complete application folder with a movie for every listed character, and
// the window on it with a recording player and recording message boxes.
struct WindowFixture
{
    explicit WindowFixture(const QString &characters, const QString &remembered = QString())
    {
        QImage arrow(32, 32, QImage::Format_ARGB32);
        arrow.fill(Qt::yellow);
        writeCursorFile(dir.file(QStringLiteral("/harrow.cur")), arrow, QPoint(1, 1));
        dir.writeText(QStringLiteral("/hanzi.ini"), characters + QStringLiteral("\r\n"));
        dir.writeText(QStringLiteral("/config.ini"), remembered + QStringLiteral("\r\n"));
        for (const QString &c : charactersOf(characters))
            dir.addMovie(c);
    }

    frmMain &open()
    {
        window = std::make_unique<frmMain>(dir.folder(), player, dialogs);
        window->load();
        return *window;
    }

    // Opens the window on screen; false when it never becomes active.
    bool show()
    {
        open().show();
        return QTest::qWaitForWindowActive(window.get());
    }

    WindowControls ui() const { return WindowControls(*window); }

    QString playable(const QString &c) const
    {
        return dir.path() + QStringLiteral("/Work/") + c + QStringLiteral(".swf");
    }

    TestFolder dir;
    RecordingPlayer player;
    RecordingDialogs dialogs;
    std::unique_ptr<frmMain> window;
};

#endif
