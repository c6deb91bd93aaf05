// SPDX-License-Identifier: GPL-3.0-or-later
#include "searchbox.h"

#include "textfile.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QValidator>

// Keeps what the user enters to the limit. A validator sees every change;
// only the ones that arrive while the box handles an event of the user's are
// limited, so that text the program sets is never cut.
class LengthLimit : public QValidator
{
public:
    explicit LengthLimit(QObject *parent) : QValidator(parent) {}

    int limit = -1;
    bool userEditing = false;
    QString before; // the text before the change being validated

    State validate(QString &input, int &position) const override
    {
        if (!userEditing || limit < 0 || charactersOf(input).size() <= limit)
            return Acceptable;
        // What the change put in ends at the cursor: the text after the
        // cursor is old, and so is the start the new text shares with the old.
        // Matching ends instead would take a word pasted over a character it
        // ends with for that character kept, and refuse the whole paste.
        const qsizetype end = qBound(qsizetype(0), qsizetype(position), input.size());
        const qsizetype tail = input.size() - end;
        qsizetype head = 0;
        while (head < end && head < before.size() - tail && before.at(head) == input.at(head))
            ++head;
        if (head > 0 && input.at(head - 1).isHighSurrogate())
            --head;
        const QString kept = input.left(head) + input.right(tail);
        const int room = limit - int(charactersOf(kept).size());
        if (room <= 0)
            return Invalid;
        const QString fits = charactersOf(input.mid(head, end - head)).mid(0, room).join(QString());
        input = input.left(head) + fits + input.right(tail);
        position = int(head + fits.size());
        return Acceptable;
    }
};

SearchBox::SearchBox(const QString &prompt, QWidget *parent) : QLineEdit(prompt, parent)
{
    m_limit = new LengthLimit(this);
    setValidator(m_limit);
    m_limit->before = prompt;
    connect(this, &QLineEdit::textChanged, this, [this, prompt](const QString &text) {
        m_limit->before = text;
        m_limit->limit = text == prompt ? 2 : 1;
    });
}

int SearchBox::characterLimit() const
{
    return m_limit->limit;
}

bool SearchBox::event(QEvent *event)
{
    if (!m_limit)
        return QLineEdit::event(event);
    const bool outer = !m_limit->userEditing;
    m_limit->userEditing = true;
    const bool handled = QLineEdit::event(event);
    if (outer)
        m_limit->userEditing = false;
    return handled;
}

void SearchBox::focusInEvent(QFocusEvent *event)
{
    // Coming back to the window is not entering the box.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        clear();
    QLineEdit::focusInEvent(event);
}

void SearchBox::dragEnterEvent(QDragEnterEvent *event)
{
    event->ignore();
}

void SearchBox::dropEvent(QDropEvent *event)
{
    event->ignore();
}
