#include "app/dnc_panel.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>

#include "app/application.h"
#include "dnc/pty_pair.h"
#include "program/quon_strings.h"
#include "support/scripted_ui_services.h"

using namespace vantrel;

namespace {

// The UI thread of the tests: posted calls wait in a queue until the test pumps it.
class QueuedMainThread : public MainThread {
  public:
    void invoke(const std::function<void()>& fn) override { fn(); }
    bool isMainThread() const override { return true; }
    void post(std::function<void()> fn) override {
        std::lock_guard lk(mu_);
        q_.push_back(std::move(fn));
    }
    void pump() {
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard lk(mu_);
                if (q_.empty()) return;
                fn = std::move(q_.front());
                q_.pop_front();
            }
            fn();
        }
    }
    void processPending(int) override { pump(); }

  private:
    std::mutex mu_;
    std::deque<std::function<void()>> q_;
};

struct Window {
    AppState state;
    ControlSet controls;
    ScriptedUiServices ui;
    QueuedMainThread mt;
    Application app{state, controls, ui, mt};
    TQuonStrings program;
    InputState input;
    vantrel::testing::PtyPair pty;
    std::unique_ptr<DncPanel> dnc;
    int refreshed = 0;
    std::vector<int32_t> shownLines;

    Window() {
        app.createControls();
        app.startUp();
        state.dnc.portDevices = {pty.path, "", "", ""};
        dnc = std::make_unique<DncPanel>(state, controls, ui, mt, program, &input);
        dnc->hooks.programChanged = [this] { ++refreshed; };
        dnc->hooks.showLine = [this](int32_t l) { shownLines.push_back(l); };
        app.registerWorker(dnc.get());
    }
    template <typename Pred>
    bool pumpUntil(Pred pred, int ms = 10000) {
        return vantrel::testing::waitFor(
            [&] {
                mt.pump();
                return pred();
            },
            ms);
    }
};

TEST(DncPanel, OpensFromTheToolBarAndTheMenuAndClosesOnlyWhenDisconnected) {
    Window w;
    EXPECT_FALSE(w.controls.visible(kDncPanel));
    w.controls.click("sb_tuusin");
    EXPECT_TRUE(w.controls.visible(kDncPanel));
    w.controls.click("button_closers");
    EXPECT_FALSE(w.controls.visible(kDncPanel));
    w.controls.click("N17");
    EXPECT_TRUE(w.controls.visible(kDncPanel));
    w.controls.click("sb_rssetuzoku");
    ASSERT_TRUE(w.state.dnc.connected);
    w.controls.click("button_closers");
    EXPECT_TRUE(w.controls.visible(kDncPanel));
    EXPECT_EQ(w.ui.messages.back(), "接続中!");
    // The window refuses to close every time while connected.
    EXPECT_FALSE(w.app.closeQuery());
    EXPECT_FALSE(w.app.closeQuery());
    EXPECT_EQ(w.ui.messages.back(), "接続中です");
    w.controls.click("sb_rssetuzoku");
    EXPECT_FALSE(w.state.dnc.connected);
    w.controls.click("button_closers");
    EXPECT_FALSE(w.controls.visible(kDncPanel));
}

TEST(DncPanel, ConnectFreezesTheSettingsAndEnablesTheTransferButtons) {
    Window w;
    const char* combos[] = {"combo_baudrate", "combo_parity", "combo_stopbit", "combo_bytesize",
                            "combo_port",     "combo_flow",   "combo_code"};
    EXPECT_FALSE(w.controls.enabled("sb_sousin"));
    EXPECT_EQ(w.controls.caption("label_tuusin_device"), w.pty.path);
    w.controls.click("sb_rssetuzoku");
    for (const char* n : combos) EXPECT_FALSE(w.controls.enabled(n)) << n;
    for (const char* n :
         {"sb_sousin", "sb_dnc", "button_tuusin_reset", "label_tuusin_hint1", "label_tuusin_hint2"})
        EXPECT_TRUE(w.controls.enabled(n)) << n;
    w.controls.click("sb_rssetuzoku");
    for (const char* n : combos) EXPECT_TRUE(w.controls.enabled(n)) << n;
    EXPECT_FALSE(w.controls.enabled("sb_sousin"));
}

TEST(DncPanel, AFailedConnectShowsTheMessageAndChangesNothing) {
    Window w;
    w.controls.selectItem("combo_port", 1);  // no device behind "２"
    EXPECT_EQ(w.controls.caption("label_tuusin_device"), kMsgNoDevice);
    w.controls.click("sb_rssetuzoku");
    EXPECT_EQ(w.ui.messages.back(), "オープンエラー ErrorCode = -1");
    EXPECT_FALSE(w.controls.checked("sb_rssetuzoku"));
    EXPECT_FALSE(w.state.dnc.connected);
    EXPECT_TRUE(w.controls.enabled("combo_baudrate"));
    // 1.5 stop bits with 8 data bits: refused with a message of its own.
    w.controls.selectItem("combo_port", 0);
    w.controls.selectItem("combo_stopbit", 1);
    w.controls.click("sb_rssetuzoku");
    EXPECT_EQ(w.ui.messages.back(), "ストップビット１．５はデータ長５ビットのときだけ使えます。");
    EXPECT_FALSE(w.state.dnc.connected);
}

TEST(DncPanel, ForceSendSendsTheProgramAndReportsTheRate) {
    Window w;
    w.program.SetText("%\nO1\nG01 X-1.5\nM30\n");
    w.controls.click("sb_rssetuzoku");
    w.controls.click("sb_sousin");
    EXPECT_EQ(w.ui.messages.back(), "送信します（右クリックで停止）");
    const std::string want = encodeProgram({"%", "O1", "G01 X-1.5", "M30"}, TransferCode::Iso, false, false);
    EXPECT_EQ(w.pty.receive(want.size()), want);
    ASSERT_TRUE(w.pumpUntil([&] { return w.controls.caption("sb_sousin") == "強制送信"; }));
    EXPECT_FALSE(w.controls.checked("sb_sousin"));
    EXPECT_EQ(w.controls.caption("label_tuusin_status").rfind("送信終了 4 行", 0), 0u)
        << w.controls.caption("label_tuusin_status");
    EXPECT_NE(w.controls.caption("label_tuusin_status").find("バイト/秒"), std::string::npos);
    EXPECT_FALSE(w.shownLines.empty());
}

TEST(DncPanel, EiaWithBothOptionsSendsTheStartBytesFirst) {
    Window w;
    w.program.SetText("M30");
    w.controls.selectItem("combo_code", 0);
    w.controls.click("check_eor");
    w.controls.click("check_cr");
    EXPECT_TRUE(w.state.dnc.eor && w.state.dnc.cr);
    w.controls.click("sb_rssetuzoku");
    w.controls.click("sb_sousin");
    EXPECT_EQ(w.pty.receive(8), std::string("\x0B\x80\x54\x13\x20\x00\x0B\x80", 8));
}

TEST(DncPanel, ReceivedTextGoesIntoTheProgramOnTheUiThreadAndWaitsForAPlay) {
    Window w;
    w.program.SetText("");
    w.controls.selectItem("combo_code", 0);  // EIA
    w.controls.click("sb_rssetuzoku");
    w.pty.send("\x67\x20\x01\x80");
    ASSERT_TRUE(w.pumpUntil([&] { return w.program.count() == 2; }));
    EXPECT_EQ(w.program.lineText(0), "G01");
    EXPECT_EQ(w.program.lineText(1), "");
    EXPECT_GT(w.refreshed, 0);
    // During a play the program is not touched; the text goes in when the play ends.
    w.dnc->setProgramLocked(true);
    w.pty.send("\x54\x13\x20\x80");
    usleep(100000);
    w.mt.pump();
    EXPECT_EQ(w.program.count(), 2);
    w.dnc->setProgramLocked(false);
    EXPECT_EQ(w.program.lineText(1), "M30");
}

TEST(DncPanel, Dc1StartsTheTransferOnlyWithDc1Dc3AndAForceSendMeanwhileIsRefused) {
    Window w;
    std::string big;
    for (int i = 0; i < 20000; ++i) big += "G01 X1. Y2.\n";
    w.program.SetText(big);
    w.controls.selectItem("combo_flow", 1);  // Rts/Cts: DC1 is only a byte
    w.controls.click("sb_rssetuzoku");
    w.pty.send("\x11");
    usleep(100000);
    w.mt.pump();
    EXPECT_FALSE(w.dnc->running());
    w.controls.click("sb_rssetuzoku");
    w.controls.selectItem("combo_flow", 2);  // DC1/DC3
    w.controls.click("sb_rssetuzoku");
    w.pty.send("\x13\x11");  // held at once: the transfer cannot finish meanwhile
    ASSERT_TRUE(w.pumpUntil([&] { return w.dnc->running(); }));
    w.controls.click("sb_sousin");
    EXPECT_EQ(w.ui.messages.back(), DncLink::kMsgBusy);
    EXPECT_EQ(w.controls.caption("sb_sousin"), "強制送信");
    // The panel's stop ends it.
    w.controls.click("button_tuusin_stop");
    ASSERT_TRUE(
        w.pumpUntil([&] { return w.controls.caption("label_tuusin_status").rfind("送信停止", 0) == 0; }));
}

TEST(DncPanel, TheRightButtonStopsBeforeTheNextLine) {
    Window w;
    std::string big;
    for (int i = 0; i < 100000; ++i) big += "G01 X1. Y2.\n";
    w.program.SetText(big);
    w.controls.click("sb_rssetuzoku");
    std::thread machine([&] { w.pty.receive(1 << 30, 300); });
    w.controls.click("sb_sousin");
    ASSERT_TRUE(w.pumpUntil([&] { return !w.shownLines.empty(); }));
    w.input.rightButton = true;
    ASSERT_TRUE(w.pumpUntil([&] { return w.controls.caption("sb_sousin") == "強制送信"; }));
    machine.join();
    EXPECT_EQ(w.controls.caption("label_tuusin_status").rfind("送信停止", 0), 0u);
    EXPECT_TRUE(w.ui.messages.back() == "送信します（右クリックで停止）");  // a stop is no error
}

TEST(DncPanel, TheDefaultsButtonRestoresTheStartUpSelection) {
    Window w;
    w.controls.selectItem("combo_baudrate", 12);
    w.controls.selectItem("combo_code", 3);
    w.controls.selectItem("combo_flow", 0);
    w.controls.click("check_cr");
    EXPECT_EQ(w.state.dnc.transferCode, 2);  // "１６進数" is the hexadecimal code
    EXPECT_FALSE(w.state.dnc.softwareFlow);
    w.controls.click("button_tuusin_shokika");
    EXPECT_EQ(w.controls.itemIndex("combo_baudrate"), 6);
    EXPECT_EQ(w.controls.itemIndex("combo_code"), 1);
    EXPECT_EQ(w.controls.itemIndex("combo_flow"), 2);
    EXPECT_EQ(w.controls.itemIndex("combo_bytesize"), 4);
    EXPECT_FALSE(w.controls.checked("check_cr"));
    EXPECT_EQ(w.state.dnc.baudrate, 6);
    EXPECT_TRUE(w.state.dnc.softwareFlow);
    EXPECT_FALSE(w.state.dnc.cr);
}

TEST(DncPanel, AnotherDeviceCanBeChosenForAPortItem) {
    Window w;
    w.controls.selectItem("combo_port", 2);
    w.ui.fileAnswers.push_back(std::string("/dev/ttyUSB7"));
    w.controls.click("button_tuusin_device");
    EXPECT_EQ(w.state.dnc.portDevices[2], "/dev/ttyUSB7");
    EXPECT_EQ(w.controls.caption("label_tuusin_device"), "/dev/ttyUSB7");
}

}  // namespace
