// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ZORVINA_PICTUREBUTTON_H
#define ZORVINA_PICTUREBUTTON_H

#include <QAbstractButton>
#include <QPixmap>

// A push button that shows a picture centred on its face and no caption. Like
// a classic command button, Space and Enter press it when it has the focus.
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
};

#endif
