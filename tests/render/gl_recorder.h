#pragma once
// A GlApi whose entry points only count and remember: the OpenGL calls the renderer makes, checked
// without a context.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "render/gl_api.h"

namespace vantrel {

struct GlRecorder {
    int vertices = 0;
    std::vector<std::string> calls;  // state calls in order, e.g. "disable 0B44", "draw 0004"

    GlApi api() {
        current() = this;
        GlApi a;
        a.load(&lookup, nullptr);
        return a;
    }

  private:
    static GlRecorder*& current() {
        static GlRecorder* r = nullptr;
        return r;
    }
    static void note(const char* what, uint32_t v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%s %04X", what, v);
        current()->calls.emplace_back(buf);
    }
    static GlProc lookup(const char* name, void*) {
        const std::string n = name;
        if (n == "glDrawArrays")
            return reinterpret_cast<GlProc>(+[](uint32_t mode, int32_t, int32_t count) {
                note("draw", mode);
                current()->vertices += count;
            });
        if (n == "glEnable") return reinterpret_cast<GlProc>(+[](uint32_t c) { note("enable", c); });
        if (n == "glDisable") return reinterpret_cast<GlProc>(+[](uint32_t c) { note("disable", c); });
        if (n == "glCullFace") return reinterpret_cast<GlProc>(+[](uint32_t c) { note("cullFace", c); });
        if (n == "glBlendFunc")
            return reinterpret_cast<GlProc>(
                +[](uint32_t s, uint32_t d) { note("blendFunc", s * 0x100 + d); });
        if (n == "glShadeModel") return reinterpret_cast<GlProc>(+[](uint32_t c) { note("shadeModel", c); });
        if (n == "glGetError") return reinterpret_cast<GlProc>(+[]() -> uint32_t { return 0; });
        if (n == "glGetString")
            return reinterpret_cast<GlProc>(+[](uint32_t) -> const uint8_t* { return nullptr; });
        // The rest are accepted and ignored, each with its own signature.
        if (n == "glViewport") return reinterpret_cast<GlProc>(+[](int32_t, int32_t, int32_t, int32_t) {});
        if (n == "glMatrixMode" || n == "glClear" || n == "glDepthFunc")
            return reinterpret_cast<GlProc>(+[](uint32_t) {});
        if (n == "glLoadIdentity" || n == "glFinish") return reinterpret_cast<GlProc>(+[] {});
        if (n == "glOrtho")
            return reinterpret_cast<GlProc>(+[](double, double, double, double, double, double) {});
        if (n == "glMultMatrixd") return reinterpret_cast<GlProc>(+[](const double*) {});
        if (n == "glTranslated") return reinterpret_cast<GlProc>(+[](double, double, double) {});
        if (n == "glEnableClientState" || n == "glDisableClientState")
            return reinterpret_cast<GlProc>(+[](uint32_t) {});
        if (n == "glVertexPointer" || n == "glColorPointer")
            return reinterpret_cast<GlProc>(+[](int32_t, uint32_t, int32_t, const void*) {});
        if (n == "glClearColor") return reinterpret_cast<GlProc>(+[](float, float, float, float) {});
        if (n == "glDepthMask") return reinterpret_cast<GlProc>(+[](uint8_t) {});
        if (n == "glReadPixels")
            return reinterpret_cast<GlProc>(
                +[](int32_t, int32_t, int32_t, int32_t, uint32_t, uint32_t, void*) {});
        if (n == "glLineStipple") return reinterpret_cast<GlProc>(+[](int32_t, uint16_t) {});
        if (n == "glPixelStorei") return reinterpret_cast<GlProc>(+[](uint32_t, int32_t) {});
        return nullptr;
    }
};

}  // namespace vantrel
