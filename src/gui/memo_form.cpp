#include "gui/memo_form.h"

#include <QFontInfo>
#include <QVBoxLayout>

namespace vantrel {

Tmemoform::Tmemoform(TQuonStrings& program, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QString::fromUtf8("編集"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edit_ = new TQuonEdit(program, this);
    layout->addWidget(edit_);
    resize(400, 300);
}

void MemoFormView::showWindow() {
    form_.show();
    form_.raise();
    form_.activateWindow();
    form_.QuonEdit1()->setFocus();
}

FontChoice MemoFormView::font() const {
    const QFont f = form_.QuonEdit1()->editorFont();
    const QFontInfo info(f);
    return FontChoice{f.family().toStdString(), info.pointSize(), f.bold(), f.italic()};
}

void MemoFormView::setFont(const FontChoice& c) {
    QFont f(QString::fromStdString(c.family));
    f.setPointSize(c.size > 0 ? c.size : 10);
    f.setBold(c.bold);
    f.setItalic(c.italic);
    form_.QuonEdit1()->setEditorFont(f);
}

}  // namespace vantrel
