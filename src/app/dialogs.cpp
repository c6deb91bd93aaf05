// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs.h"

#include <QMessageBox>
#include <utility>

void MessageBoxes::showMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Zorvina"), text, QMessageBox::Ok, parent);
    box.exec();
}

void HeldMessages::showMessage(const QString &text)
{
    if (m_released)
        m_dialogs.showMessage(m_parent, text);
    else
        m_held = text;
}

void HeldMessages::release()
{
    m_released = true;
    if (!m_held.isEmpty())
        m_dialogs.showMessage(m_parent, std::exchange(m_held, QString()));
}
