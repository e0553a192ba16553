#include "gui/flow_layout.h"

#include <QWidget>

namespace vantrel {

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent), spacing_(spacing) {
    setContentsMargins(1, 1, 1, 1);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* FlowLayout::takeAt(int i) {
    if (i < 0 || i >= items_.size()) return nullptr;
    return items_.takeAt(i);
}

void FlowLayout::setGeometry(const QRect& r) {
    QLayout::setGeometry(r);
    doLayout(r, false);
}

QSize FlowLayout::minimumSize() const {
    QSize s;
    for (QLayoutItem* item : items_) s = s.expandedTo(item->minimumSize());
    QMargins m = contentsMargins();
    return s + QSize(m.left() + m.right(), m.top() + m.bottom());
}

int FlowLayout::doLayout(const QRect& rect, bool testOnly) const {
    QMargins m = contentsMargins();
    QRect r = rect.adjusted(m.left(), m.top(), -m.right(), -m.bottom());
    int x = r.x(), y = r.y(), rowHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->widget() && item->widget()->isHidden()) continue;
        QSize hint = item->sizeHint();
        int next = x + hint.width() + spacing_;
        if (next - spacing_ > r.right() + 1 && rowHeight > 0) {
            x = r.x();
            y += rowHeight + spacing_;
            next = x + hint.width() + spacing_;
            rowHeight = 0;
        }
        if (!testOnly) item->setGeometry(QRect(QPoint(x, y), hint));
        x = next;
        rowHeight = std::max(rowHeight, hint.height());
    }
    return y + rowHeight - rect.y() + m.bottom();
}

}  // namespace vantrel
