#pragma once
#include <QWidget>
#include <functional>

#include "core/image32.h"

namespace vantrel {

// Shows an Image32 (the scene frame or the program listing) without copying its pixels. Copies to the
// screen are rectangle updates: callers name the rectangle that changed.
class ImageView : public QWidget {
    Q_OBJECT
  public:
    explicit ImageView(QWidget* parent = nullptr);
    void setImage(const Image32* image);
    const Image32* image() const { return image_; }

    std::function<void(int w, int h)> onResize;
    std::function<void(QMouseEvent*)> onMousePress, onMouseMove, onMouseRelease;
    std::function<void(QWheelEvent*)> onWheel;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    const Image32* image_ = nullptr;
};

}  // namespace vantrel
