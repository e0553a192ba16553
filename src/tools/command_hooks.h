#pragma once
// What an editing command asks of the window around it once its data has changed: refresh the value
// labels, repaint the scene, show a caption while working. Commands take these as plain callbacks so
// that they depend on no application object; an empty callback is simply skipped.
#include <functional>
#include <string>
#include "core/version.h"

namespace vantrel {

struct CommandHooks {
    std::function<void()> refreshLabels;                       // every value label of the main window
    std::function<void()> repaint;                             // recompose and show the scene
    std::function<void(const std::string&)> setWindowCaption;  // "フィット中…" ... and back
    std::function<void(bool)> setWaitCursor;
    std::function<void()> holderChanged;  // the holder model must be rebuilt (sets holderBaseLength)
    std::function<void()> showStockGrid;  // draw the machined state of the stock

    void refresh() const {
        if (refreshLabels) refreshLabels();
    }
    void requestRepaint() const {
        if (repaint) repaint();
    }
    void caption(const std::string& text) const {
        if (setWindowCaption) setWindowCaption(text);
    }
    void waitCursor(bool on) const {
        if (setWaitCursor) setWaitCursor(on);
    }
};

}  // namespace vantrel
