// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_SEARCHBOX_H
#define ZORVINA_SEARCHBOX_H

#include <QLineEdit>

class LengthLimit;

// The one-character search box. It empties itself when the focus moves to it
// from elsewhere in the window. What the user types, pastes or commits through
// an input method is kept to a number of whole characters: the box takes what
// fits of it, as a classic text box with a maximum length does, without ever
// shortening text already in the box (Qt's own maximum length would cut it).
// The limit is two characters while the box holds its prompt and one
// otherwise, from the first change on. It takes no drops.
class SearchBox : public QLineEdit
{
    Q_OBJECT

public:
    explicit SearchBox(const QString &prompt, QWidget *parent = nullptr);

    // The most characters the user may enter; -1 for no limit.
    int characterLimit() const;

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    LengthLimit *m_limit = nullptr;
};

#endif
