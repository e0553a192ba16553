#pragma once
// The OpenGL 1.1 entry points the scene's OpenGL view uses, as a table of function pointers. The
// primitives go to OpenGL as client-side vertex arrays (OpenGL 1.1 as well): a machined stock is
// millions of triangles, and one call a vertex costs more than drawing them.
//
// The table is filled from whatever created the context: the desktop program's widget context and the
// headless off-screen context each know how to look a function up, and neither needs the other's
// library. Linking libGL directly would bind every call to the window-system dispatcher, which knows
// nothing of an off-screen context.
#include <cstdint>
#include <string>

namespace vantrel {

using GlProc = void (*)();
// Looks one entry point up by name; null when the context has none.
using GlProcLookup = GlProc (*)(const char* name, void* user);

struct GlApi {
    void (*viewport)(int32_t x, int32_t y, int32_t w, int32_t h) = nullptr;
    void (*matrixMode)(uint32_t mode) = nullptr;
    void (*loadIdentity)() = nullptr;
    void (*ortho)(double l, double r, double b, double t, double n, double f) = nullptr;
    void (*multMatrixd)(const double* m) = nullptr;
    void (*translated)(double x, double y, double z) = nullptr;
    void (*clearColor)(float r, float g, float b, float a) = nullptr;
    void (*clear)(uint32_t mask) = nullptr;
    void (*shadeModel)(uint32_t mode) = nullptr;
    void (*enable)(uint32_t cap) = nullptr;
    void (*disable)(uint32_t cap) = nullptr;
    void (*cullFace)(uint32_t mode) = nullptr;
    void (*depthMask)(uint8_t flag) = nullptr;
    void (*depthFunc)(uint32_t func) = nullptr;
    void (*blendFunc)(uint32_t s, uint32_t d) = nullptr;
    void (*enableClientState)(uint32_t array) = nullptr;
    void (*disableClientState)(uint32_t array) = nullptr;
    void (*vertexPointer)(int32_t size, uint32_t type, int32_t stride, const void* data) = nullptr;
    void (*colorPointer)(int32_t size, uint32_t type, int32_t stride, const void* data) = nullptr;
    void (*drawArrays)(uint32_t mode, int32_t first, int32_t count) = nullptr;
    void (*lineStipple)(int32_t factor, uint16_t pattern) = nullptr;
    void (*finish)() = nullptr;
    void (*readPixels)(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t format, uint32_t type,
                       void* data) = nullptr;
    void (*pixelStorei)(uint32_t name, int32_t value) = nullptr;
    uint32_t (*getError)() = nullptr;
    const uint8_t* (*getString)(uint32_t name) = nullptr;

    // Fills every entry; false (with the first missing name in `missing`) when one is absent.
    bool load(GlProcLookup lookup, void* user, std::string* missing = nullptr);
    bool loaded() const { return drawArrays != nullptr; }
};

}  // namespace vantrel
