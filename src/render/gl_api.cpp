#include "render/gl_api.h"

namespace vantrel {

namespace {

template <typename F>
bool take(F& slot, const char* name, GlProcLookup lookup, void* user, std::string* missing) {
    GlProc p = lookup(name, user);
    if (p == nullptr) {
        if (missing && missing->empty()) *missing = name;
        return false;
    }
    // The looked-up address is the function of that name; its real type is the slot's.
    slot = reinterpret_cast<F>(p);
    return true;
}

}  // namespace

bool GlApi::load(GlProcLookup lookup, void* user, std::string* missing) {
    if (lookup == nullptr) return false;
    GlApi t;
    bool ok = true;
    ok &= take(t.viewport, "glViewport", lookup, user, missing);
    ok &= take(t.matrixMode, "glMatrixMode", lookup, user, missing);
    ok &= take(t.loadIdentity, "glLoadIdentity", lookup, user, missing);
    ok &= take(t.ortho, "glOrtho", lookup, user, missing);
    ok &= take(t.multMatrixd, "glMultMatrixd", lookup, user, missing);
    ok &= take(t.translated, "glTranslated", lookup, user, missing);
    ok &= take(t.clearColor, "glClearColor", lookup, user, missing);
    ok &= take(t.clear, "glClear", lookup, user, missing);
    ok &= take(t.shadeModel, "glShadeModel", lookup, user, missing);
    ok &= take(t.enable, "glEnable", lookup, user, missing);
    ok &= take(t.disable, "glDisable", lookup, user, missing);
    ok &= take(t.cullFace, "glCullFace", lookup, user, missing);
    ok &= take(t.depthMask, "glDepthMask", lookup, user, missing);
    ok &= take(t.depthFunc, "glDepthFunc", lookup, user, missing);
    ok &= take(t.blendFunc, "glBlendFunc", lookup, user, missing);
    ok &= take(t.enableClientState, "glEnableClientState", lookup, user, missing);
    ok &= take(t.disableClientState, "glDisableClientState", lookup, user, missing);
    ok &= take(t.vertexPointer, "glVertexPointer", lookup, user, missing);
    ok &= take(t.colorPointer, "glColorPointer", lookup, user, missing);
    ok &= take(t.lineStipple, "glLineStipple", lookup, user, missing);
    ok &= take(t.finish, "glFinish", lookup, user, missing);
    ok &= take(t.readPixels, "glReadPixels", lookup, user, missing);
    ok &= take(t.pixelStorei, "glPixelStorei", lookup, user, missing);
    ok &= take(t.getError, "glGetError", lookup, user, missing);
    ok &= take(t.getString, "glGetString", lookup, user, missing);
    // Last: loaded() reads it.
    ok &= take(t.drawArrays, "glDrawArrays", lookup, user, missing);
    if (!ok) return false;
    *this = t;
    return true;
}

}  // namespace vantrel
