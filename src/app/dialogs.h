#ifndef ZORVINA_DIALOGS_H
#define ZORVINA_DIALOGS_H

class QString;
class QWidget;

// Every message the program shows goes through here, so tests can answer
// them. Messages are modal boxes titled "Zorvina" with one OK button and no icon.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual void showMessage(QWidget *parent, const QString &text) = 0;
};

class MessageBoxes : public Dialogs
{
public:
    void showMessage(QWidget *parent, const QString &text) override;
};

#endif
