#include "gui/check_list.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "gui/main_window.h"
#include "gui/quon_edit.h"

namespace vantrel {

GuiCheckList::GuiCheckList(MainWindow& window, ControlSet& controls, PlayChecks& checks)
    : cs_(controls), checks_(checks) {
    // A window of its own beside the main window, like the editor: the main window's layout (and the
    // scene's size during a play) stays as it is.
    window_ = new QWidget(&window, Qt::Tool);
    window_->setWindowTitle(QString::fromUtf8(cs_.caption(kCheckList).c_str()));
    window_->resize(560, 180);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(2, 2, 2, 2);
    list_ = new QListWidget(window_);
    list_->setObjectName(kCheckList);
    layout->addWidget(list_);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { cs_.selectItem(kCheckList, list_->row(item)); });
    observer_ = cs_.subscribe([this](const Control& c, ControlChange ch) {
        if (c.name != kCheckList || ch != ControlChange::Items) return;
        // The play finds on its own thread: the list changes on the UI thread.
        QMetaObject::invokeMethod(
            this, [this] { refresh(); }, Qt::QueuedConnection);
    });
}

GuiCheckList::~GuiCheckList() {
    cs_.unsubscribe(observer_);
    checks_.goToLine = nullptr;
}

void GuiCheckList::attachEditor(TQuonEdit& edit) {
    TQuonEdit* e = &edit;
    checks_.goToLine = [e](int32_t line) {
        EditModel& m = e->model();
        m.setCaret(TextPos{line, 0});
        m.ensureCaretVisible();
        e->viewport()->update();
        if (QWidget* w = e->window()) {
            w->show();
            w->raise();
        }
        e->setFocus();
    };
}

void GuiCheckList::refresh() {
    const std::vector<std::string> items = cs_.items(kCheckList);
    list_->clear();
    for (const auto& text : items) list_->addItem(QString::fromUtf8(text.c_str()));
    if (!items.empty() && !window_->isVisible()) window_->show();
}

}  // namespace vantrel
