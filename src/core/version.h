#pragma once
// The version, in the one place it is written: the main window's caption, the captions shown again
// after a play or a long operation, and `vantrel-sim --version` all take it from here.
#define VANTREL_VERSION "3.71"
#define VANTREL_VERSION_CAPTION "Vantrel " VANTREL_VERSION

namespace vantrel {

inline constexpr const char* kVersion = VANTREL_VERSION;
// The main window's own caption.
inline constexpr const char* kMainWindowCaption = VANTREL_VERSION_CAPTION;

}  // namespace vantrel
