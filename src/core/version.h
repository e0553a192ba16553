#pragma once
// The version: the main window's caption, the captions shown again after a play or a long operation,
// and `vantrel-sim --version` all take it from here. The number itself is written once, in project()
// of the top CMakeLists.txt, which also stamps the package and the manual pages; the build hands it in.
#ifndef VANTREL_VERSION
#error "VANTREL_VERSION comes from the build (src/core/CMakeLists.txt)"
#endif
#define VANTREL_VERSION_CAPTION "Vantrel " VANTREL_VERSION

namespace vantrel {

inline constexpr const char* kVersion = VANTREL_VERSION;
// The main window's own caption.
inline constexpr const char* kMainWindowCaption = VANTREL_VERSION_CAPTION;

}  // namespace vantrel
