// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_FRMMAIN_H
#define ZORVINA_FRMMAIN_H

#include "appfolder.h"

#include <QCursor>
#include <QWidget>

class CharacterList;
class Dialogs;
class FileError;
class MoviePlayer;
class PictureButton;
class SearchBox;

// The program's only window: the search box and the list of characters on
// the left, the movie area, and the previous, next, write-it and close
// buttons.
class frmMain : public QWidget
{
    Q_OBJECT

public:
    // The window shows player's widget as its movie area (and so owns that
    // widget from now on); every message goes through dialogs.
    frmMain(const AppFolder &folder, MoviePlayer &player, Dialogs &dialogs,
            QWidget *parent = nullptr);

    // Prepares the pointer, fills the list and restores the last character,
    // whose movie starts loading. Throws FileError when the pointer or the
    // character list cannot be read.
    void load();

    // Plays the movie of the current character (which ends any writing
    // practice) and offers practice when that movie has it.
    void PlayMyFile();

    // Ends the run without asking anything (the session is ending): the
    // character is remembered and the playing folder emptied, with no goodbye.
    void unloadQuietly();

    // The movie area began or ended writing practice: the write-it button
    // shows it pressed in while the child writes.
    void showPractising(bool practising);

    // The application-wide pointer: 0 the default one, 99 the custom one.
    int pointerSetting() const { return m_pointerSetting; }

    // Where a window of the given size goes on a screen with the available
    // area: centred, but never with its top or left edge off the screen, so
    // that on a screen smaller than the window the search box, the list and
    // the keyboard's way to every control stay within reach.
    static QRect placement(const QSize &window, const QRect &available);

protected:
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class State { Created, Running, Unloading, Ended };

    void buildLayout();
    void connectHandlers();
    void unload(bool sayGoodbye);
    void setPointer(int setting);
    void refreshWriteButton();

    void List1_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdWrite_Click();
    void txtInput_Change();

    // Tests and tools reach these by their object names.
    CharacterList *List1;
    QWidget *objSh;
    SearchBox *txtInput;
    PictureButton *cmdUp;
    PictureButton *cmdDown;
    PictureButton *cmdWrite;
    PictureButton *cmdClose;
    AppFolder m_folder;
    MoviePlayer &m_player;
    Dialogs &m_dialogs;
    QCursor m_customPointer;
    int m_pointerSetting = 0;
    State m_state = State::Created;
};

#endif
