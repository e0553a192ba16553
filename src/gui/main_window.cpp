#include "gui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMetaObject>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/dnc_panel.h"
#include "app/main_window_controls.h"
#include "app/window_commands.h"
#include "gui/flow_layout.h"

namespace vantrel {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QColor fromBgr(uint32_t c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The six floating panels of the tool bar and the communication panel float over the scene.
std::vector<std::string> floatingPanelNames() {
    std::vector<std::string> names;
    for (const auto& p : floatingPanels()) names.emplace_back(p.name);
    names.emplace_back(kDncPanel);
    return names;
}

const FloatingPanel* floatingPanel(const std::string& name) {
    for (const auto& p : floatingPanels())
        if (name == p.name) return &p;
    return nullptr;
}

bool isFloatingPanel(const std::string& name) {
    for (const auto& p : floatingPanelNames())
        if (name == p) return true;
    return false;
}
}  // namespace

MainWindow::MainWindow(Application& app, QWidget* parent)
    : QMainWindow(parent), app_(app), cs_(app.controls()) {
    setWindowTitle(q(app.state().window.caption));
    buildMenus();

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Top tool bar.
    auto* top = new QFrame(central);
    top->setFrameShape(QFrame::StyledPanel);
    auto* topLayout = new FlowLayout(top, 1);
    buildContainer("Panel7", top, topLayout);
    widgets_["Panel7"] = top;
    outer->addWidget(top);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    outer->addLayout(middle, 1);

    // Left column: positions, angles, axis, buttons; then the tabs.
    auto* left = new QFrame(central);
    left->setFrameShape(QFrame::StyledPanel);
    left->setFixedWidth(app.state().window.panelLeft + 60);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(2, 2, 2, 2);
    leftLayout->setSpacing(1);
    buildContainer("Panel1", left, leftLayout);
    auto* tabsHost = new QWidget(left);
    auto* tabsLayout = new QVBoxLayout(tabsHost);
    tabsLayout->setContentsMargins(0, 0, 0, 0);
    buildContainer("Panel4", tabsHost, tabsLayout);
    leftLayout->addWidget(tabsHost, 1);
    widgets_["Panel1"] = left;
    middle->addWidget(left);

    // Scene and play bar.
    auto* centre = new QVBoxLayout;
    centre->setSpacing(0);
    scene_ = new ImageView(central);
    scene_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    scene_->setImage(&sceneImage_);
    scene_->onResize = [this](int w, int h) {
        sceneImage_.resize(w, h, bgrToRgb(app_.state().colours.back()));
        if (app_.state().window.ready == 1) app_.requestRepaint();
    };
    widgets_["PaintBox1"] = scene_;
    centre->addWidget(scene_, 1);
    auto* play = new QFrame(central);
    play->setFrameShape(QFrame::StyledPanel);
    auto* playLayout = new FlowLayout(play, 1);
    buildContainer("Panel10", play, playLayout);
    widgets_["Panel10"] = play;
    centre->addWidget(play);
    middle->addLayout(centre, 1);

    // Right column: modal labels, block number, listing, progress, play options.
    auto* right = new QFrame(central);
    right->setFrameShape(QFrame::StyledPanel);
    right->setFixedWidth(130);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(2, 2, 2, 2);
    rightLayout->setSpacing(1);
    buildContainer("Panel3", right, rightLayout);
    rightLayout->addStretch(1);
    widgets_["Panel3"] = right;
    middle->addWidget(right);

    setCentralWidget(central);

    // Floating panels sit over everything at fixed positions and start hidden.
    for (const auto& name : floatingPanelNames()) {
        if (!cs_.has(name)) continue;
        auto* f = new QFrame(central);
        f->setFrameShape(QFrame::Panel);
        f->setFrameShadow(QFrame::Raised);
        f->setAutoFillBackground(true);
        const FloatingPanel* fp = floatingPanel(name);
        if (!fp) {
            auto* l = new QVBoxLayout(f);
            l->setContentsMargins(3, 3, 3, 3);
            l->setSpacing(1);
            buildContainer(name, f, l);
            l->addStretch(1);
        } else {
            // The six tool-bar panels keep their contents at full size in an inner widget that the
            // frame uncovers as it unfolds; their "×" sits in the top right corner.
            auto* inner = new QWidget(f);
            auto* l = new QVBoxLayout(inner);
            l->setContentsMargins(3, 3, 22, 3);
            l->setSpacing(1);
            buildContainer(name, inner, l);
            if (QWidget* close = widget(fp->closeButton)) {
                l->removeWidget(close);
                close->setParent(f);
                close->setFixedSize(18, 18);
            }
            inner->adjustSize();
            panelContents_[name] = inner;
        }
        widgets_[name] = f;
        names_[f] = name;
        syncFromModel(name);
    }

    // A floating panel unfolds a pixel at a time: each step is painted before the next.
    app.hooks.panelUnfoldStep = [this] {
        for (const auto& p : floatingPanels())
            if (QWidget* w = widget(p.name); w && w->isVisible()) w->repaint();
        QThread::usleep(800);
    };

    // The editor window: a separate top-level window (its contents arrive with the editor).
    editor_ = new QWidget(nullptr, Qt::Window);
    editor_->setWindowTitle("編集");
    editor_->resize(480, 400);

    // Model -> widgets. Changes made on another thread are queued to this one, in order.
    observer_ = cs_.subscribe([this](const Control& c, ControlChange ch) {
        if (QThread::currentThread() == thread()) {
            applyToWidget(c, ch);
        } else {
            QMetaObject::invokeMethod(
                this, [this, c, ch] { applyToWidget(c, ch); }, Qt::QueuedConnection);
        }
    });

    // 640 x 480 client area, centred.
    resize(app.state().window.clientWidth, app.state().window.clientHeight + menuBar()->sizeHint().height());
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = s->availableGeometry();
        move(r.center() - rect().center());
    }
    sceneImage_.resize(scene_->width(), scene_->height(), bgrToRgb(app.state().colours.back()));
}

MainWindow::~MainWindow() {
    app_.hooks.panelUnfoldStep = nullptr;
    cs_.unsubscribe(observer_);
    delete editor_;
}

QWidget* MainWindow::widget(const std::string& name) const {
    auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

QMenu* MainWindow::popupMenu(const std::string& owner) const {
    auto it = popups_.find(owner);
    return it == popups_.end() ? nullptr : it->second;
}

QAction* MainWindow::action(const std::string& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::buildMenus() {
    for (const auto& name : cs_.children("MainMenu1")) {
        Control c = cs_.get(name);
        if (c.kind == ControlKind::Menu) {
            QMenu* m = menuBar()->addMenu(q(c.caption));
            actions_[name] = m->menuAction();
            buildMenu(m, name);
        } else if (c.kind == ControlKind::MenuItem) {
            QAction* a = menuBar()->addAction(q(c.caption));
            actions_[name] = a;
            connect(a, &QAction::triggered, this, [this, name] {
                cs_.click(name);
                syncFromModel(name);
            });
        }
        syncFromModel(name);
    }
}

void MainWindow::buildMenu(QMenu* menu, const std::string& parent) {
    for (const auto& name : cs_.children(parent)) {
        Control c = cs_.get(name);
        if (c.kind == ControlKind::MenuSeparator) {
            menu->addSeparator();
            continue;
        }
        if (c.kind == ControlKind::Menu) {
            QMenu* sub = menu->addMenu(q(c.caption));
            if (cs_.hasCommand(name)) {
                // A sub-menu that is itself a command (the view menu's "回転"): Qt opens a sub-menu
                // without choosing it, so an entry of the same caption at its top stands for its title.
                QAction* self = sub->addAction(q(c.caption));
                self->setCheckable(true);
                sub->addSeparator();
                actions_[name] = self;
                connect(self, &QAction::triggered, this, [this, name] {
                    cs_.click(name);
                    syncFromModel(name);
                });
            } else {
                actions_[name] = sub->menuAction();
            }
            buildMenu(sub, name);
            syncFromModel(name);
            continue;
        }
        QAction* a = menu->addAction(q(c.caption));
        a->setCheckable(true);
        actions_[name] = a;
        connect(a, &QAction::triggered, this, [this, name] {
            cs_.click(name);
            syncFromModel(name);  // Qt flipped the mark itself; the model decides
        });
        syncFromModel(name);
    }
}

void MainWindow::buildContainer(const std::string& name, QWidget* w, QLayout* layout) {
    // The modal labels of the right column are many and short: they flow in rows instead of a column.
    QWidget* flowHost = nullptr;
    FlowLayout* flow = nullptr;
    for (const auto& child : cs_.children(name)) {
        Control c = cs_.get(child);
        if (name == "Panel3" && c.kind == ControlKind::Label) {
            if (!flow) {
                flowHost = new QWidget(w);
                flow = new FlowLayout(flowHost, 2);
                layout->addWidget(flowHost);
            }
            if (QWidget* cw = buildControl(c, flowHost)) {
                cw->setMinimumWidth(child.size() > 8 && child.back() == '0' ? 26 : 26);
                flow->addWidget(cw);
            }
            continue;
        }
        if (isFloatingPanel(child)) continue;
        if (c.kind == ControlKind::PageControl) {
            auto* tabs = new QTabWidget(w);
            widgets_[child] = tabs;
            names_[tabs] = child;
            for (const auto& sheetName : cs_.children(child)) {
                Control sheet = cs_.get(sheetName);
                auto* page = new QWidget(tabs);
                auto* pl = new QVBoxLayout(page);
                pl->setContentsMargins(2, 2, 2, 2);
                pl->setSpacing(1);
                buildContainer(sheetName, page, pl);
                pl->addStretch(1);
                tabs->addTab(page, q(sheet.caption));
                widgets_[sheetName] = page;
            }
            connect(tabs, &QTabWidget::currentChanged, this,
                    [this, child](int i) { cs_.setItemIndex(child, i); });
            if (auto* bl = qobject_cast<QBoxLayout*>(layout))
                bl->addWidget(tabs, 1);
            else
                layout->addWidget(tabs);
            continue;
        }
        if (c.kind == ControlKind::Panel && !cs_.children(child).empty()) {
            auto* f = new QWidget(w);
            auto* l = new QVBoxLayout(f);
            l->setContentsMargins(0, 0, 0, 0);
            l->setSpacing(1);
            buildContainer(child, f, l);
            widgets_[child] = f;
            names_[f] = child;
            layout->addWidget(f);
            applyToWidget(c, ControlChange::Visible);  // a container may start hidden (the media player)
            continue;
        }
        if (QWidget* cw = buildControl(c, w)) layout->addWidget(cw);
    }
}

QWidget* MainWindow::buildControl(const Control& c, QWidget* parent) {
    const std::string name = c.name;
    QWidget* made = nullptr;
    switch (c.kind) {
        case ControlKind::SpeedButton: {
            auto* b = new QToolButton(parent);
            b->setAutoRaise(false);
            b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
            b->setCheckable(c.group != 0 || c.toggles);
            b->setToolButtonStyle(Qt::ToolButtonTextOnly);
            connect(b, &QToolButton::clicked, this, [this, name] {
                cs_.click(name);
                syncFromModel(name);
            });
            b->installEventFilter(this);  // right presses open the floating panels
            made = b;
            break;
        }
        case ControlKind::Button: {
            auto* b = new QPushButton(parent);
            connect(b, &QPushButton::clicked, this, [this, name] { cs_.click(name); });
            made = b;
            break;
        }
        case ControlKind::CheckBox: {
            auto* b = new QCheckBox(parent);
            connect(b, &QCheckBox::clicked, this, [this, name] {
                cs_.click(name);
                syncFromModel(name);
            });
            made = b;
            break;
        }
        case ControlKind::ComboBox: {
            auto* b = new QComboBox(parent);
            connect(b, &QComboBox::activated, this, [this, name](int i) { cs_.selectItem(name, i); });
            if (const char* popup = popupMenuOf(name)) {
                // The tool list's own menu on a right click.
                auto* menu = new QMenu(b);
                buildMenu(menu, popup);
                b->setContextMenuPolicy(Qt::CustomContextMenu);
                connect(b, &QWidget::customContextMenuRequested, this,
                        [b, menu](const QPoint& at) { menu->popup(b->mapToGlobal(at)); });
                popups_[name] = menu;
            }
            made = b;
            break;
        }
        case ControlKind::Label: {
            auto* l = new QLabel(parent);
            l->installEventFilter(this);  // value labels open the keypad on a click
            made = l;
            break;
        }
        case ControlKind::Panel: {
            if (c.color == 0 && !cs_.hasCommand(name) && c.tag == 0 && name.rfind("panel_cl", 0) != 0)
                return nullptr;  // an empty container has nothing to show
            auto* f = new QFrame(parent);
            f->setFrameShape(QFrame::Box);
            f->setMinimumHeight(16);
            f->setAutoFillBackground(true);
            f->installEventFilter(this);
            made = f;
            break;
        }
        case ControlKind::TrackBar: {
            auto* s = new QSlider(Qt::Horizontal, parent);
            connect(s, &QSlider::actionTriggered, this,
                    [this, name, s](int) { cs_.moveTo(name, s->sliderPosition()); });
            made = s;
            break;
        }
        case ControlKind::ScrollBar: {
            auto* s = new QScrollBar(Qt::Horizontal, parent);
            connect(s, &QScrollBar::actionTriggered, this,
                    [this, name, s](int) { cs_.moveTo(name, s->sliderPosition()); });
            made = s;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* p = new QProgressBar(parent);
            p->setTextVisible(false);
            p->setMaximumHeight(10);
            made = p;
            break;
        }
        case ControlKind::PaintBox: {
            auto* v = new ImageView(parent);
            v->setMinimumHeight(80);
            if (name == "PaintBox2") {
                listing_ = v;
                listingImage_.resize(126, 80, 0xFFFFFF);
                v->setImage(&listingImage_);
            }
            made = v;
            break;
        }
        default:
            break;
    }
    if (!made) return nullptr;
    widgets_[name] = made;
    names_[made] = name;
    syncFromModel(name);
    return made;
}

void MainWindow::syncFromModel(const std::string& name) {
    Control c = cs_.get(name);
    applyToWidget(c, ControlChange::Caption);
    applyToWidget(c, ControlChange::Hint);
    applyToWidget(c, ControlChange::Enabled);
    applyToWidget(c, ControlChange::Visible);
    applyToWidget(c, ControlChange::Checked);
    applyToWidget(c, ControlChange::Items);
    applyToWidget(c, ControlChange::Position);
    applyToWidget(c, ControlChange::Color);
    if (isFloatingPanel(name)) applyToWidget(c, ControlChange::Geometry);
}

void MainWindow::applyToWidget(const Control& c, ControlChange ch) {
    if (QAction* a = action(c.name)) {
        QSignalBlocker block(a);
        switch (ch) {
            case ControlChange::Caption:
                a->setText(q(c.caption));
                break;
            case ControlChange::Enabled:
                a->setEnabled(c.enabled);
                break;
            case ControlChange::Visible:
                a->setVisible(c.visible);
                break;
            case ControlChange::Checked:
                if (a->isCheckable()) a->setChecked(c.checked);
                break;
            default:
                break;
        }
        return;
    }
    if (c.name == "PageControl1" && ch == ControlChange::ItemIndex) {
        if (auto* t = qobject_cast<QTabWidget*>(widget(c.name))) {
            QSignalBlocker block(t);
            if (c.itemIndex >= 0) t->setCurrentIndex(c.itemIndex);
        }
        return;
    }
    if (ch == ControlChange::Caption && (c.name == "mcform" || c.name == "memoform")) {
        QWidget* target = c.name == "mcform" ? static_cast<QWidget*>(this) : editor_;
        if (target) target->setWindowTitle(q(c.caption));
        return;
    }
    QWidget* w = widget(c.name);
    if (!w) return;
    QSignalBlocker block(w);
    switch (ch) {
        case ControlChange::Caption:
            if (auto* b = qobject_cast<QAbstractButton*>(w))
                b->setText(q(c.caption));
            else if (auto* l = qobject_cast<QLabel*>(w))
                l->setText(q(c.caption));
            break;
        case ControlChange::Hint:
            w->setToolTip(q(c.hint));
            break;
        case ControlChange::Enabled:
            w->setEnabled(c.enabled);
            break;
        case ControlChange::Visible:
            // Floating panels start hidden; others follow the model whenever their parent shows.
            if (isFloatingPanel(c.name)) {
                w->setVisible(c.visible);
                if (c.visible) w->raise();
            } else {
                w->setVisible(c.visible);
            }
            break;
        case ControlChange::Checked:
            if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setChecked(c.checked);
            break;
        case ControlChange::Items:
        case ControlChange::ItemIndex:
            if (auto* cb = qobject_cast<QComboBox*>(w)) {
                if (ch == ControlChange::Items) {
                    cb->clear();
                    for (const auto& it : c.items) cb->addItem(q(it));
                }
                cb->setCurrentIndex(c.itemIndex);
            }
            break;
        case ControlChange::Position:
            if (auto* s = qobject_cast<QAbstractSlider*>(w)) {
                s->setRange(c.minimum, c.maximum);
                s->setValue(c.position);
            } else if (auto* p = qobject_cast<QProgressBar*>(w)) {
                p->setRange(c.minimum, c.maximum);
                p->setValue(c.position);
            }
            break;
        case ControlChange::Geometry:
            if (isFloatingPanel(c.name)) placeFloatingPanel(c, w);
            break;
        case ControlChange::Color:
            // Colour panels show their colour; the floating panels keep the window's own background.
            if (c.kind == ControlKind::Panel && !isFloatingPanel(c.name)) {
                QPalette pal = w->palette();
                pal.setColor(QPalette::Window, fromBgr(c.color));
                w->setPalette(pal);
            }
            break;
    }
}

void MainWindow::placeFloatingPanel(const Control& c, QWidget* frame) {
    const FloatingPanel* fp = floatingPanel(c.name);
    auto it = panelContents_.find(c.name);
    if (!fp || it == panelContents_.end()) {
        frame->setGeometry(c.left, c.top, c.width, c.height);
        return;
    }
    // The panels hang below the tool bar, whose height here depends on the font; the unfolding height
    // scales to what the contents need at this font, so the opened panel shows all of them.
    QWidget* inner = it->second;
    const QSize natural = inner->sizeHint().expandedTo(QSize(c.width, 1));
    const int top =
        widget("Panel7") && widget("Panel7")->isVisible() ? widget("Panel7")->geometry().bottom() + 1 : 0;
    const int height = fp->openedHeight > 0 ? c.height * natural.height() / fp->openedHeight : 0;
    frame->setGeometry(c.left, top + c.top - fp->top, natural.width(), height);
    inner->setGeometry(0, 0, natural.width(), natural.height());
    if (QWidget* close = widget(fp->closeButton)) {
        close->move(natural.width() - 21, 3);
        close->raise();
    }
}

void MainWindow::updateListing() {
    if (listing_) listing_->update();
}

void MainWindow::repaintScene() {
    sceneImage_.fill(bgrToRgb(app_.state().colours.back()));
    scene_->update();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress) {
        auto it = names_.find(watched);
        if (it != names_.end()) {
            auto* me = static_cast<QMouseEvent*>(e);
            Control c = cs_.get(it->second);
            // Exactly the right button, without Shift, Ctrl or Alt, opens the button's floating panel.
            const bool onlyRight =
                me->button() == Qt::RightButton && me->buttons() == Qt::RightButton &&
                !(me->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
            if (c.kind == ControlKind::SpeedButton && c.enabled &&
                rightPressOnControl(app_, c.name, onlyRight))
                return true;
            if (me->button() == Qt::LeftButton &&
                (c.kind == ControlKind::Label || c.kind == ControlKind::Panel) && cs_.hasCommand(c.name)) {
                cs_.click(c.name);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!app_.closeQuery()) {
        e->ignore();
        return;
    }
    app_.close();
    editor_->close();
    e->accept();
}

}  // namespace vantrel
