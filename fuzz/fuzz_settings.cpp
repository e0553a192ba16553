// Arbitrary bytes as the settings store: the start-up loads and applies them as the program does,
// the close saves over them, and the saved store is read again. Checks on the way: the start-up
// completes with the settings-ready flag set, the machine kind and the current tool stay inside their
// ranges, a parsed store written back parses to the same values, and after a save with auto-save on
// the store reads back clean into the same state.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/application.h"
#include "app/settings_store.h"
#include "platform/atomic_file.h"
#include "platform/reg_text.h"
#include "support/scripted_ui_services.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_settings: %s\n", what);
        std::abort();
    }
}

const std::string& storePath() {
    static const std::string folder = [] {
        std::string t = (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
                        "/fuzz_settings_XXXXXX";
        char* made = mkdtemp(t.data());
        check(made != nullptr, "no temporary folder");
        return t;
    }();
    static const std::string p = folder + "/Vantrel.reg";
    static const bool removeAtExit = [] {
        return std::atexit([] {
                   std::remove(p.c_str());
                   rmdir(folder.c_str());
               }) == 0;
    }();
    (void)removeAtExit;
    return p;
}

struct Run {
    std::unique_ptr<vantrel::AppState> state = std::make_unique<vantrel::AppState>();
    vantrel::ControlSet controls;
    vantrel::ScriptedUiServices ui;
    vantrel::InlineMainThread mainThread;
    vantrel::Application app{*state, controls, ui, mainThread};
    Run() {
        app.createControls();
        vantrel::attachSettingsStore(app, storePath());
        app.startUp();
        const vantrel::AppState& s = *state;
        check(s.window.settingsReady, "the settings-ready flag is not set after the start-up");
        check(s.window.ready == 1, "the start-up did not finish");
        check(vantrel::isValidMachineKind(static_cast<int>(s.machineKind)), "machine kind out of range");
        const auto* list = vantrel::toolListFor(s.tools, s.machineKind);
        const int n = list ? static_cast<int>(list->size()) : 1;
        check(s.tools.currentToolIndex >= 0 && s.tools.currentToolIndex < n,
              "current tool outside the table");
        check(!s.tools.millTools.empty() && !s.tools.latheTools.empty(), "an empty tool table");
        check(std::isfinite(s.view.scale) && s.view.scale > 0, "scale not a positive number");
    }
};

bool sameValues(const vantrel::RegDocument& a, const vantrel::RegDocument& b) {
    if (a.keys.size() != b.keys.size()) return false;
    for (size_t i = 0; i < a.keys.size(); ++i) {
        const auto& x = a.keys[i].values;
        const auto& y = b.keys[i].values;
        if (x.size() != y.size()) return false;
        for (size_t j = 0; j < x.size(); ++j) {
            if (x[j].name != y[j].name || x[j].kind != y[j].kind || x[j].dword != y[j].dword ||
                x[j].data != y[j].data)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), data ? size : 0);

    // The text format alone: what it reads, written back, reads the same.
    vantrel::RegDocument doc;
    if (vantrel::parseRegText(bytes, doc).ok) {
        vantrel::RegDocument again;
        check(vantrel::parseRegText(vantrel::serialiseRegText(doc), again).ok, "a written store is not read");
        check(sameValues(doc, again), "a written store reads back different values");
    }

    // The program's own path: start-up, close, start-up again.
    check(vantrel::writeFileAtomically(storePath(), bytes), "the store could not be written");
    bool autoSave = false;
    {
        Run first;
        autoSave = first.controls.checked("ini1");
        first.app.close();
        check(first.ui.messages.size() <= 1, "more than one message at start-up");
    }
    if (autoSave) {
        Run second;
        check(second.ui.messages.empty(), "a store saved with auto-save on does not read back clean");
    }
    return 0;
}
