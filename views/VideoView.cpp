#include "VideoView.h"

#include <QPainter>
#include <QTransform>
#include <QVideoFrame>
#include <QVideoSink>

VideoView::VideoView(QWidget* parent)
    : QWidget(parent)
    , sink(new QVideoSink(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(sink, &QVideoSink::videoFrameChanged, this, &VideoView::showFrame);
}

void VideoView::setRotation(int degrees)
{
    turn = ((degrees % 360) + 360) % 360;
    update();
}

void VideoView::showFrame(const QVideoFrame& frame)
{
    if (!frame.isValid())
        return;
    image = frame.toImage();
    update();
}

QImage VideoView::currentImage() const
{
    if (image.isNull() || turn == 0)
        return image;
    return image.transformed(QTransform().rotate(turn));
}

QRect VideoView::pictureRect() const
{
    if (image.isNull())
        return {};
    QSize picture = image.size();
    if (turn == 90 || turn == 270)
        picture.transpose();
    const QSize fitted = picture.scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void VideoView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRect target = pictureRect();
    if (target.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Turn about the target's centre, then draw the stored picture into the turned box.
    painter.translate(target.center());
    painter.rotate(turn);
    const QSize stored = (turn == 90 || turn == 270) ? target.size().transposed() : target.size();
    painter.drawImage(QRect(QPoint(-stored.width() / 2, -stored.height() / 2), stored), image);
}
