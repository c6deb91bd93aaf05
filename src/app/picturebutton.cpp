// SPDX-License-Identifier: GPL-3.0-or-later
#include "picturebutton.h"

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPen>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

QPixmap washedOut(const QPixmap &picture)
{
    if (picture.isNull())
        return picture;
    QImage grey = picture.toImage()
                      .convertToFormat(QImage::Format_Grayscale8)
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&grey);
    painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    painter.setOpacity(0.55);
    painter.fillRect(grey.rect(), Qt::white);
    painter.end();
    QPixmap result = QPixmap::fromImage(grey);
    result.setDevicePixelRatio(picture.devicePixelRatio());
    return result;
}

} // namespace

PictureButton::PictureButton(const QPixmap &picture, QWidget *parent)
    : QAbstractButton(parent), m_picture(picture), m_disabledPicture(washedOut(picture))
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
    if (isDown() || isChecked())
        target.translate(1, 1);
    painter.drawPixmap(target, isEnabled() ? m_picture : m_disabledPicture);
    // One that stays on stays pushed in, with a shadow along its top and left.
    if (isChecked()) {
        painter.setPen(QPen(QColor(0, 0, 0, 140), 3));
        painter.drawPolyline(QPolygon{rect().bottomLeft(), rect().topLeft(), rect().topRight()});
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void PictureButton::keyPressEvent(QKeyEvent *event)
{
    // Qt's buttons leave Enter to a dialog's default button; here there is none.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
