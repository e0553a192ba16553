#pragma once
// The play as the desktop program runs it: the play session over the application, the keyboard and
// mouse state the playback thread polls, the listing box, and the editor's read-only state and caption.
#include <QObject>
#include <functional>
#include <memory>

#include "app/application.h"
#include "app/play_session.h"
#include "platform/input_state.h"
#include "platform/text_painter.h"

namespace vantrel {

class MainWindow;

// Text into an Image32 through QPainter on a QImage that wraps the image's pixels.
class QtTextPainter : public TextPainter {
  public:
    void drawText(Image32& image, int x, int y, std::string_view text, uint32_t colour) override;
};

// Keeps InputState current from the application's key and mouse events (Esc, Shift, the right
// button), wherever the focus is.
class InputStateFilter : public QObject {
  public:
    explicit InputStateFilter(InputState& input) : input_(input) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    InputState& input_;
};

// The window side of a play: editor read-only and caption, the listing box, then the scene's drawing
// view when one is attached.
class GuiPlaybackView : public ForwardingPlaybackView {
  public:
    GuiPlaybackView(MainWindow& window, ControlSet& controls, MainThread& mt)
        : w_(window), cs_(controls), mt_(mt) {}
    std::function<void(bool)> editorReadOnly;
    // The scene's drawing view.
    void setScene(PlaybackView* scene) { setNext(scene); }

    void setEditorReadOnly(bool on) override;
    void setEditorCaption(const std::string& text) override;
    void showListing() override;

  private:
    MainWindow& w_;
    ControlSet& cs_;
    MainThread& mt_;
};

// Everything a play needs in the desktop program, made once after the main window exists.
class GuiPlayback {
  public:
    GuiPlayback(Application& app, MainWindow& window, TQuonStrings& program);
    ~GuiPlayback();
    PlaySession& session() { return *session_; }
    GuiPlaybackView& view() { return view_; }
    InputState& input() { return input_; }

  private:
    Application& app_;
    InputState input_;
    InputStateFilter filter_;
    QtTextPainter painter_;
    GuiPlaybackView view_;
    std::unique_ptr<PlaySession> session_;
};

}  // namespace vantrel
