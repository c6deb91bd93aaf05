#include "picturebutton.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

PictureButton::PictureButton(const QPixmap &picture, QWidget *parent)
    : QAbstractButton(parent), m_picture(picture)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    QRect target(QPoint(), m_picture.deviceIndependentSize().toSize());
    target.moveCenter(rect().center());
    // A pressed button looks pushed in: its picture moves down and right.
    if (isDown())
        target.translate(1, 1);
    painter.drawPixmap(target, m_picture);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
