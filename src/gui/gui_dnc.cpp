#include "gui/gui_dnc.h"

#include "app/program_listing.h"
#include "gui/main_window.h"
#include "gui/program_editor.h"

namespace vantrel {

GuiDnc::GuiDnc(DncPanel& dnc, MainWindow& window, ProgramEditor& editor, const TQuonStrings& program)
    : window_(window), program_(program) {
    editorRefresh_.setSingleShot(true);
    editorRefresh_.setInterval(100);
    connect(&editorRefresh_, &QTimer::timeout, this, [&editor] { editor.edit().refresh(false); });
    dnc.hooks.programChanged = [this] {
        if (!editorRefresh_.isActive()) editorRefresh_.start();
    };
    dnc.hooks.showLine = [this](int32_t line) {
        DrawProgramListing(window_.listingImage(), program_, line, painter_);
        window_.updateListing();
    };
}

}  // namespace vantrel
