#include "dialogs.h"

#include <QMessageBox>

void MessageBoxes::showMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorvina"), text, QMessageBox::Ok, parent);
    box.exec();
}
