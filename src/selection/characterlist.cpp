// SPDX-License-Identifier: GPL-3.0-or-later
#include "characterlist.h"

#include <QFocusEvent>
#include <QMouseEvent>

CharacterList::CharacterList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every item is one character in the list's font. Without this the
    // list measures each of its thousands of items as the window first
    // shows the remembered one, which took longer than all the rest of
    // building the window.
    setUniformItemSizes(true);
    connect(this, &QListWidget::currentRowChanged, this, &CharacterList::announce);
}

QString CharacterList::currentText() const
{
    const QListWidgetItem *item = currentItem();
    return item ? item->text() : QString();
}

bool CharacterList::selectText(const QString &text)
{
    for (int row = 0; row < count(); ++row) {
        if (item(row)->text() == text) {
            setCurrentRow(row);
            scrollToItem(item(row), QAbstractItemView::PositionAtCenter);
            return true;
        }
    }
    return false;
}

void CharacterList::focusInEvent(QFocusEvent *event)
{
    // Qt's views make the first item current when they get the focus with
    // nothing current; here nothing becomes current until it is chosen.
    const bool noneCurrent = currentRow() < 0;
    m_quiet = noneCurrent;
    QListWidget::focusInEvent(event);
    if (noneCurrent)
        setCurrentRow(-1);
    m_quiet = false;
}

namespace {

bool byOtherButtons(const QMouseEvent *event)
{
    const Qt::MouseButtons buttons = event->button() | event->buttons();
    return buttons != Qt::NoButton && !(buttons & Qt::LeftButton);
}

} // namespace

void CharacterList::mousePressEvent(QMouseEvent *event)
{
    if (byOtherButtons(event))
        return;
    const QModelIndex pressed = indexAt(event->position().toPoint());
    const bool again = pressed.isValid() && pressed.row() == currentRow();
    QListWidget::mousePressEvent(event);
    if (again && event->button() == Qt::LeftButton)
        announce();
}

void CharacterList::mouseMoveEvent(QMouseEvent *event)
{
    if (!byOtherButtons(event))
        QListWidget::mouseMoveEvent(event);
}

void CharacterList::mouseReleaseEvent(QMouseEvent *event)
{
    if (!byOtherButtons(event))
        QListWidget::mouseReleaseEvent(event);
}

void CharacterList::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!byOtherButtons(event))
        QListWidget::mouseDoubleClickEvent(event);
}

QItemSelectionModel::SelectionFlags CharacterList::selectionCommand(const QModelIndex &index,
                                                                    const QEvent *event) const
{
    // The current item always stays selected: Ctrl+click must not leave a
    // current character that shows as unselected.
    if (index.isValid())
        return QItemSelectionModel::ClearAndSelect;
    return QListWidget::selectionCommand(index, event);
}

void CharacterList::announce()
{
    if (!m_quiet)
        Q_EMIT itemChosen();
}
