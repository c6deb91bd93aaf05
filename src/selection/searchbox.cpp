#include "searchbox.h"

#include "textfile.h"

#include <QFocusEvent>
#include <QValidator>

// Refuses an edit that would leave more characters than the limit. A
// validator sees typing, pasting and input-method commits alike, and never
// text set by the program.
class LengthLimit : public QValidator
{
public:
    explicit LengthLimit(QObject *parent) : QValidator(parent) {}

    int limit = -1;

    State validate(QString &input, int &) const override
    {
        if (limit >= 0 && charactersOf(input).size() > limit)
            return Invalid;
        return Acceptable;
    }
};

SearchBox::SearchBox(const QString &prompt, QWidget *parent)
    : QLineEdit(prompt, parent), m_limit(new LengthLimit(this))
{
    setValidator(m_limit);
}

void SearchBox::setCharacterLimit(int limit)
{
    m_limit->limit = limit;
}

int SearchBox::characterLimit() const
{
    return m_limit->limit;
}

void SearchBox::focusInEvent(QFocusEvent *event)
{
    // Coming back to the window is not entering the box.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        clear();
    QLineEdit::focusInEvent(event);
}
