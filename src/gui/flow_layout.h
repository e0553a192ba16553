#pragma once
#include <QLayout>
#include <QList>

namespace vantrel {

// Lays widgets out left to right and wraps to a new row when the width runs out, so the tool bar keeps
// every button reachable in a 640-pixel-wide window.
class FlowLayout : public QLayout {
  public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 1);
    ~FlowLayout() override;
    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int i) const override { return items_.value(i); }
    QLayoutItem* takeAt(int i) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override { return doLayout(QRect(0, 0, w, 0), true); }
    void setGeometry(const QRect& r) override;
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSize() const override;

  private:
    int doLayout(const QRect& r, bool testOnly) const;
    QList<QLayoutItem*> items_;
    int spacing_;
};

}  // namespace vantrel
