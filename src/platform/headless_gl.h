#pragma once
// An off-screen OpenGL context for drawing without a display: Mesa's software OpenGL (OSMesa) renders
// into a buffer of ours. The command-line renderer, the tests and the benchmark use it; the desktop
// program uses its widget's context instead.
//
// The library is opened at run time and its symbols kept to itself: its gl* functions must never
// stand in for the window system's in a process that also shows a window.
#include <cstdint>
#include <memory>
#include <string>

#include "core/image32.h"

namespace vantrel {

using GlProcFn = void (*)();

class HeadlessGlContext {
  public:
    HeadlessGlContext();
    ~HeadlessGlContext();
    HeadlessGlContext(const HeadlessGlContext&) = delete;
    HeadlessGlContext& operator=(const HeadlessGlContext&) = delete;

    // A width x height RGBA drawable with a depth buffer, made current on this thread. False with a
    // reason in error() when the library or a context is not to be had.
    bool create(int width, int height);
    const std::string& error() const { return error_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Looks an OpenGL entry point up in the context's library (for GlApi::load).
    static GlProcFn lookup(const char* name, void* self);

    // The drawable as an image, top row first (call after the frame has finished).
    Image32 image() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
    int width_ = 0, height_ = 0;
};

}  // namespace vantrel
