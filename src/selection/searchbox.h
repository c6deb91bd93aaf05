#ifndef ZORVINA_SEARCHBOX_H
#define ZORVINA_SEARCHBOX_H

#include <QLineEdit>

class LengthLimit;

// The one-character search box. It empties itself when the focus moves to it
// from elsewhere in the window, and limits what the user may type to a number
// of whole characters without ever shortening text already in the box (Qt's
// own maximum length would cut it).
class SearchBox : public QLineEdit
{
    Q_OBJECT

public:
    explicit SearchBox(const QString &prompt, QWidget *parent = nullptr);

    // The most characters the user may type; -1 for no limit.
    void setCharacterLimit(int limit);
    int characterLimit() const;

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    LengthLimit *m_limit;
};

#endif
