// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_CHARACTERLIST_H
#define ZORVINA_CHARACTERLIST_H

#include <QListWidget>

// The list of characters. An item is current exactly when it is selected, and
// every time an item is made current (by a click, the keyboard or code) the
// list announces it with itemChosen(); a click on the item already current
// announces it again, so a child can click to see the movie once more. Only
// the left mouse button chooses, as in a classic list box: a right or middle
// click, or a drag with one of them held, leaves the current item as it is.
class CharacterList : public QListWidget
{
    Q_OBJECT

public:
    explicit CharacterList(QWidget *parent = nullptr);

    // The text of the current item, or an empty text when none is current.
    QString currentText() const;

    // Makes the item whose text equals text current; returns false, changing
    // nothing, when no item has that text.
    bool selectText(const QString &text);

Q_SIGNALS:
    void itemChosen();

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event) const override;

private:
    void announce();

    bool m_quiet = false;
};

#endif
