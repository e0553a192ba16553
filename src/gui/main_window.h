#pragma once
// The main window: builds Qt widgets from the control model and binds them both ways. Widgets hold no
// state of their own: a user action goes to the model (click, selectItem, moveTo), and the model's
// change notifications update the widgets, on the UI thread and in the order they were made.
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <map>
#include <string>

#include "app/application.h"
#include "core/image32.h"
#include "gui/scene_widget.h"

class QTabWidget;
class QLayout;

namespace vantrel {

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(Application& app, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The widget realising a named control (nullptr when it has none).
    QWidget* widget(const std::string& name) const;
    QAction* action(const std::string& name) const;
    // The pop-up menu of a control (the tool list's), nullptr when it has none.
    QMenu* popupMenu(const std::string& owner) const;
    ImageView* scene() const { return scene_; }
    Image32& sceneImage() { return sceneImage_; }
    // The program listing beside the view (PaintBox2) and its repaint.
    Image32& listingImage() { return listingImage_; }
    void updateListing();
    // Clears the scene image to the background colour and shows it.
    void repaintScene();
    // The editor window ("編集").
    QWidget* editorWindow() const { return editor_; }
    // Puts the real editor window in place of the empty one; the main window owns it from then on.
    void setEditorWindow(QWidget* w) {
        if (w == editor_) return;
        delete editor_;
        editor_ = w;
    }

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void buildMenus();
    void buildMenu(QMenu* menu, const std::string& parent);
    QWidget* buildControl(const Control& c, QWidget* parent);
    void buildContainer(const std::string& name, QWidget* w, QLayout* layout);
    void applyToWidget(const Control& c, ControlChange change);
    void syncFromModel(const std::string& name);
    void placeFloatingPanel(const Control& c, QWidget* frame);

    Application& app_;
    ControlSet& cs_;
    std::map<std::string, QWidget*> widgets_;
    std::map<std::string, QAction*> actions_;
    std::map<std::string, QMenu*> popups_;
    std::map<std::string, QWidget*> panelContents_;  // a floating panel's contents, uncovered as it unfolds
    std::map<QObject*, std::string> names_;
    ImageView* scene_ = nullptr;
    ImageView* listing_ = nullptr;
    QWidget* editor_ = nullptr;
    Image32 sceneImage_;
    Image32 listingImage_;
    int observer_ = 0;
};

}  // namespace vantrel
