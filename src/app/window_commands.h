#pragma once
// The main window's commands that belong to no subsystem of their own: the six floating panels (right
// press on their tool-bar buttons, unfolding, "×", "詳細設定"), the Play menu's switches, the T-code
// format, the machining entries, the OpenGL button; and, once the scene exists, the view commands on
// the scene (view modes, rotation centre, mouse locks, plane views, parallel projection, light, scale
// and tool-axis entries, fit to screen), "パネル消す", the full "初期状態" reset, the holder model and
// "材料内部状態表示".
#include <functional>
#include <string>
#include <string_view>

#include "app/application.h"
#include "app/scene_composer.h"
#include "app/view_commands.h"

namespace vantrel {

inline constexpr const char* kMsgUnderDevelopment = "開発中です";
inline constexpr const char* kMsgOpenGlUnavailable = "OpenGLを使えないため、ソフトウェア描画で表示します。";

// The floating panel a right press on a tool-bar button opens ("" for buttons without one).
std::string_view floatingPanelOfButton(std::string_view button);

// Opens a floating panel as a right press does, when it is hidden: height 0, shown, the other five
// hidden, then unfolded one pixel at a time to its opened height (`step` runs after each pixel, so a
// window can show the unfolding). False when the panel was already open or is not a floating panel.
bool openFloatingPanel(ControlSet& cs, std::string_view panel, const std::function<void()>& step = {});
// Hides all six floating panels (every panel's "×").
void closeFloatingPanels(ControlSet& cs);

// A mouse press on a control: exactly the right button with no Shift, Ctrl or Alt on a button that has
// a floating panel opens it (see openFloatingPanel). True when the press opened a panel.
bool rightPressOnControl(Application& app, std::string_view control, bool onlyRightButton);

// The panels, the Play menu's switches, the T-code format, the machining entries and the OpenGL button.
void bindWindowCommands(Application& app);

// The view commands and the commands that redraw through the scene. `playing` tells whether a program
// plays (the mouse commands then do nothing).
void bindSceneCommands(Application& app, SceneComposer& composer, std::function<bool()> playing);

// Carries out what a view command asks for: the tool's new axis or position, the repaint (with or
// without the tool), the labels, the magnifier's frame.
void applyViewUpdate(Application& app, SceneComposer& composer, const ViewUpdate& up, const ToolPose* pose);

// "初期状態": colours, light, grid and axes, working tool, display switches, stock, view and the
// machine's per-kind values back to their start-up values, then onto the controls; repaint.
void resetToInitialState(Application& app, SceneComposer& composer);

}  // namespace vantrel
