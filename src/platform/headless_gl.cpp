#include "platform/headless_gl.h"

#include <dlfcn.h>

#include <vector>

namespace vantrel {

namespace {

// The few OSMesa entry points, declared here so that no OSMesa header is needed to build.
using OsContext = void*;
constexpr uint32_t kGlRgba = 0x1908;
constexpr uint32_t kGlUnsignedByte = 0x1401;
using CreateContextExtFn = OsContext (*)(uint32_t format, int32_t depth, int32_t stencil, int32_t accum,
                                         OsContext share);
using MakeCurrentFn = uint8_t (*)(OsContext ctx, void* buffer, uint32_t type, int32_t w, int32_t h);
using DestroyContextFn = void (*)(OsContext ctx);
using GetProcAddressFn = GlProcFn (*)(const char* name);

}  // namespace

// The library is opened once and stays: Mesa keeps process-wide state (its compiler among it) that an
// unload would leave behind, and a second load would set up again.
void* osMesaLibrary() {
    static void* lib = [] {
        void* h = nullptr;
        for (const char* name : {"libOSMesa.so.8", "libOSMesa.so.6", "libOSMesa.so"}) {
            h = dlopen(name, RTLD_NOW | RTLD_LOCAL);
            if (h) break;
        }
        return h;
    }();
    return lib;
}

struct HeadlessGlContext::Impl {
    void* lib = nullptr;
    OsContext ctx = nullptr;
    CreateContextExtFn createContextExt = nullptr;
    MakeCurrentFn makeCurrent = nullptr;
    DestroyContextFn destroyContext = nullptr;
    GetProcAddressFn getProcAddress = nullptr;
    std::vector<uint8_t> buffer;

    ~Impl() {
        if (ctx && destroyContext) destroyContext(ctx);
    }
};

HeadlessGlContext::HeadlessGlContext() = default;
HeadlessGlContext::~HeadlessGlContext() = default;

bool HeadlessGlContext::create(int width, int height) {
    error_.clear();
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        error_ = std::string("bad size");
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->lib = osMesaLibrary();
    if (!impl->lib) {
        error_ = std::string("libOSMesa not found");
        return false;
    }
    impl->createContextExt = reinterpret_cast<CreateContextExtFn>(dlsym(impl->lib, "OSMesaCreateContextExt"));
    impl->makeCurrent = reinterpret_cast<MakeCurrentFn>(dlsym(impl->lib, "OSMesaMakeCurrent"));
    impl->destroyContext = reinterpret_cast<DestroyContextFn>(dlsym(impl->lib, "OSMesaDestroyContext"));
    impl->getProcAddress = reinterpret_cast<GetProcAddressFn>(dlsym(impl->lib, "OSMesaGetProcAddress"));
    if (!impl->createContextExt || !impl->makeCurrent || !impl->destroyContext || !impl->getProcAddress) {
        error_ = std::string("libOSMesa lacks an entry point");
        return false;
    }
    impl->ctx = impl->createContextExt(kGlRgba, 24, 0, 0, nullptr);
    if (!impl->ctx) {
        error_ = std::string("no OSMesa context");
        return false;
    }
    impl->buffer.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    if (!impl->makeCurrent(impl->ctx, impl->buffer.data(), kGlUnsignedByte, width, height)) {
        error_ = std::string("OSMesa context not made current");
        return false;
    }
    impl_ = std::move(impl);
    width_ = width;
    height_ = height;
    return true;
}

GlProcFn HeadlessGlContext::lookup(const char* name, void* self) {
    auto* c = static_cast<HeadlessGlContext*>(self);
    if (c == nullptr || !c->impl_) return nullptr;
    return c->impl_->getProcAddress(name);
}

Image32 HeadlessGlContext::image() const {
    Image32 out(width_, height_, 0);
    if (!impl_) return out;
    // OSMesa keeps row 0 at the bottom, as OpenGL counts.
    for (int y = 0; y < height_; ++y) {
        const uint8_t* src = impl_->buffer.data() + static_cast<size_t>(height_ - 1 - y) * width_ * 4;
        uint32_t* dst = out.row(y);
        for (int x = 0; x < width_; ++x) {
            const uint8_t* p = src + static_cast<size_t>(x) * 4;
            dst[x] = (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
        }
    }
    return out;
}

}  // namespace vantrel
