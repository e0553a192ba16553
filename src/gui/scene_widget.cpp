#include "gui/scene_widget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace vantrel {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void ImageView::setImage(const Image32* image) {
    image_ = image;
    update();
}

void ImageView::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (!image_ || image_->empty()) {
        p.fillRect(e->rect(), Qt::white);
        return;
    }
    // Format_RGB32 is 0xffRRGGBB with the top byte ignored: the image's rows are used in place.
    QImage view(reinterpret_cast<const uchar*>(image_->data()), image_->width(), image_->height(),
                image_->bytesPerLine(), QImage::Format_RGB32);
    QRect img(0, 0, image_->width(), image_->height());
    if (!img.contains(e->rect())) p.fillRect(e->rect(), Qt::white);  // briefly, while a resize catches up
    QRect r = e->rect() & img;
    if (!r.isEmpty()) p.drawImage(r, view, r);
}

void ImageView::resizeEvent(QResizeEvent*) {
    if (onResize) onResize(width(), height());
}
void ImageView::mousePressEvent(QMouseEvent* e) {
    if (onMousePress) onMousePress(e);
}
void ImageView::mouseMoveEvent(QMouseEvent* e) {
    if (onMouseMove) onMouseMove(e);
}
void ImageView::mouseReleaseEvent(QMouseEvent* e) {
    if (onMouseRelease) onMouseRelease(e);
}
void ImageView::wheelEvent(QWheelEvent* e) {
    if (onWheel) onWheel(e);
}

}  // namespace vantrel
