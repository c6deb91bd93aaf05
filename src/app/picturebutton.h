// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PICTUREBUTTON_H
#define ZORVINA_PICTUREBUTTON_H

#include <QAbstractButton>
#include <QPixmap>

// A push button that shows a picture centred on its face and no caption. Like
// a classic command button, Space and Enter press it when it has the focus.
// Disabled, it shows the picture washed out to grey, so a child sees at a
// glance that it does nothing now.
class PictureButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit PictureButton(const QPixmap &picture, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPixmap m_picture;
    QPixmap m_disabledPicture;
};

#endif
