#include "app/dnc_panel.h"

#include <cstdio>

#include "app/main_window_controls.h"
#include "program/quon_strings.h"

namespace vantrel {

namespace {

// KIND|name|parent|caption|hint|tag|flags  (see addControlTable)
const char* kPanel = R"(
PANEL|panel_tuusin|||||h
LABEL|label_tuusin_baud|panel_tuusin|通信速度|||
COMBO|combo_baudrate|panel_tuusin||||
LABEL|label_tuusin_parity|panel_tuusin|パリティ|||
COMBO|combo_parity|panel_tuusin||||
LABEL|label_tuusin_stopbit|panel_tuusin|ストップビット|||
COMBO|combo_stopbit|panel_tuusin||||
LABEL|label_tuusin_bytesize|panel_tuusin|データ長|||
COMBO|combo_bytesize|panel_tuusin||||
LABEL|label_tuusin_port|panel_tuusin|ポート|||
COMBO|combo_port|panel_tuusin||||
LABEL|label_tuusin_device|panel_tuusin||ポートのデバイス||
BTN|button_tuusin_device|panel_tuusin|デバイス変更…|このポートのデバイスを選びます||
LABEL|label_tuusin_flow|panel_tuusin|フロー制御|||
COMBO|combo_flow|panel_tuusin||||
LABEL|label_tuusin_code|panel_tuusin|コード|||
COMBO|combo_code|panel_tuusin||||
CHK|check_eor|panel_tuusin|送信時始めに【%】【；】 付加|||
CHK|check_cr|panel_tuusin|ＣＲ（キャリッジリターン）付加|||
SB|sb_rssetuzoku|panel_tuusin|回線接続|回線接続||t
SB|sb_sousin|panel_tuusin|強制送信|強制送信||td
SB|sb_dnc|panel_tuusin|ＤＮＣ|ＤＮＣ||d
BTN|button_tuusin_reset|panel_tuusin|リセット|||d
BTN|button_tuusin_stop|panel_tuusin|停止|送信を止めます||d
LABEL|label_tuusin_hint1|panel_tuusin|送信：機械側の受信ボタンか強制送信ボタンを押す|||d
LABEL|label_tuusin_hint2|panel_tuusin|受信：機械側の送信ボタンを押す|||d
LABEL|label_tuusin_note|panel_tuusin|ケーブルはクロスケーブルを使用してください|||
LABEL|label_tuusin_status|panel_tuusin||||
BTN|button_tuusin_shokika|panel_tuusin|初期化|||
BTN|button_closers|panel_tuusin|×|||
)";

const char* kSettingCombos[] = {"combo_baudrate", "combo_parity", "combo_stopbit", "combo_bytesize",
                                "combo_port",     "combo_flow",   "combo_code"};

std::string format(const char* fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

int clampIndex(int i, int n) {
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}

}  // namespace

const std::vector<std::string>& baudRateItems() {
    static const std::vector<std::string> k = {"110bps",   "300bps",    "600bps",   "1200bps",  "2400bps",
                                               "4800bps",  "9600bps",   "14400bps", "19200bps", "38400bps",
                                               "56000bps", "128000bps", "256000bps"};
    return k;
}

int32_t baudRateOfItem(int index) {
    const auto& items = baudRateItems();
    return std::stoi(items[static_cast<std::size_t>(clampIndex(index, static_cast<int>(items.size())))]);
}

void addDncPanelControls(ControlSet& cs) {
    addControlTable(cs, kPanel);
    cs.setItems("combo_baudrate", baudRateItems());
    cs.setItems("combo_parity", {"なし", "奇数", "偶数", "マークパリティ", "スペースパリティ"});
    cs.setItems("combo_stopbit", {"１ビット", "１．５ビット", "２ビット"});
    cs.setItems("combo_bytesize", {"４ビット", "５ビット", "６ビット", "７ビット", "８ビット"});
    cs.setItems("combo_port", {"１", "２", "３", "４"});
    cs.setItems("combo_flow", {"なし", "Rts/Cts", "DC1/DC3"});
    cs.setItems("combo_code", {"ＥＩＡ", "ＩＳＯ", "アスキー", "１６進数"});
    cs.setGeometry(kDncPanel, kDncPanelLeft, kDncPanelTop, kDncPanelWidth, kDncPanelHeight);
    cs.setColor(kDncPanel, 0xF0F0F0);  // the button face, like a form
    showDncSettings(DncState{}, cs);
}

void showDncSettings(const DncState& d, ControlSet& cs) {
    cs.setItemIndex("combo_baudrate", d.baudrate);
    cs.setItemIndex("combo_parity", d.parity);
    cs.setItemIndex("combo_stopbit", d.stopbit);
    cs.setItemIndex("combo_bytesize", d.bytesize);
    cs.setItemIndex("combo_port", d.port);
    cs.setItemIndex("combo_flow", d.flow);
    cs.setItemIndex("combo_code", d.code);
    cs.setChecked("check_eor", d.eor);
    cs.setChecked("check_cr", d.cr);
}

void readDncSettings(const ControlSet& cs, DncState& d) {
    if (cs.itemIndex("combo_baudrate") < 0) return;  // no panel in this set of controls
    d.baudrate = cs.itemIndex("combo_baudrate");
    d.parity = cs.itemIndex("combo_parity");
    d.stopbit = cs.itemIndex("combo_stopbit");
    d.bytesize = cs.itemIndex("combo_bytesize");
    d.port = cs.itemIndex("combo_port");
    d.flow = cs.itemIndex("combo_flow");
    d.softwareFlow = d.flow == 2;
    d.code = cs.itemIndex("combo_code");
    d.transferCode = static_cast<int32_t>(transferCodeFromComboIndex(d.code));
    d.eor = cs.checked("check_eor");
    d.cr = cs.checked("check_cr");
}

std::array<std::string, 4> DncPanel::defaultPortDevices() {
    std::array<std::string, 4> d;
    const std::vector<std::string> found = findSerialDevices();
    for (std::size_t i = 0; i < d.size() && i < found.size(); ++i) d[i] = found[i];
    return d;
}

DncPanel::DncPanel(AppState& s, ControlSet& cs, UiServices& ui, MainThread& mt, TQuonStrings& program,
                   const InputState* input)
    : s_(s), cs_(cs), ui_(ui), mt_(mt), program_(program), input_(input) {
    bool anyDevice = false;
    for (const auto& d : s_.dnc.portDevices) anyDevice = anyDevice || !d.empty();
    if (!anyDevice) s_.dnc.portDevices = defaultPortDevices();
    comm_.setFlowControls({});  // the window's instance: the panel's flow setting decides at connect
    bind();
    showDncSettings(s_.dnc, cs_);
    showDevice();
}

DncPanel::~DncPanel() {
    link_.disconnect();
}

void DncPanel::bind() {
    auto open = [this](const Control&) {
        cs_.setVisible(kDncPanel, true);
        showDevice();
    };
    cs_.bind("sb_tuusin", open);
    cs_.bind("N17", open);
    cs_.bind("button_closers", [this](const Control&) {
        if (s_.dnc.connected) {
            ui_.message(kMsgDncConnectedPanel);
            return;
        }
        cs_.setVisible(kDncPanel, false);
    });
    cs_.bind("combo_baudrate", [this](const Control& c) { s_.dnc.baudrate = c.itemIndex; });
    cs_.bind("combo_parity", [this](const Control& c) { s_.dnc.parity = c.itemIndex; });
    cs_.bind("combo_stopbit", [this](const Control& c) { s_.dnc.stopbit = c.itemIndex; });
    cs_.bind("combo_bytesize", [this](const Control& c) { s_.dnc.bytesize = c.itemIndex; });
    cs_.bind("combo_port", [this](const Control& c) {
        s_.dnc.port = c.itemIndex;
        showDevice();
    });
    cs_.bind("combo_flow", [this](const Control& c) {
        s_.dnc.flow = c.itemIndex;
        s_.dnc.softwareFlow = c.itemIndex == 2;
    });
    cs_.bind("combo_code", [this](const Control& c) {
        s_.dnc.code = c.itemIndex;
        s_.dnc.transferCode = static_cast<int32_t>(transferCodeFromComboIndex(c.itemIndex));
    });
    auto checks = [this](const Control&) {
        s_.dnc.eor = cs_.checked("check_eor");
        s_.dnc.cr = cs_.checked("check_cr");
        DncOptions o;
        o.eor = s_.dnc.eor;
        o.cr = s_.dnc.cr;
        link_.setOptions(o);
    };
    cs_.bind("check_eor", checks);
    cs_.bind("check_cr", checks);
    cs_.bind("button_tuusin_device", [this](const Control&) { chooseDevice(); });
    cs_.bind("button_tuusin_shokika", [this](const Control&) { setDefaults(); });
    cs_.bind("sb_rssetuzoku", [this](const Control& c) { connect(c.checked); });
    cs_.bind("sb_sousin", [this](const Control&) { forceSend(); });
    cs_.bind("button_tuusin_stop", [this](const Control&) { link_.stopSend(); });

    link_.hooks.post = [this](std::function<void()> fn) { mt_.post(std::move(fn)); };
    link_.hooks.programLines = [this] { return programLinesForSending(program_); };
    link_.hooks.received = [this](const std::string& text, const std::string& lb) {
        applyReceived(text, lb);
    };
    link_.hooks.stopRequested = [this] { return input_ && input_->rightButton.load(); };
    link_.hooks.progress = [this](const SendProgress& p) {
        // Transfer thread: the control model is safe from any thread; the listing is drawn on the UI
        // thread.
        cs_.setCaption("label_tuusin_status", format("送信中 %d/%d 行 %lld バイト", p.line + 1, p.lines,
                                                     static_cast<long long>(p.bytes)));
        mt_.post([this, line = p.line] {
            if (hooks.showLine) hooks.showLine(line);
        });
    };
    link_.hooks.sendStarted = [this](DncLink::Origin) { cs_.setEnabled("button_tuusin_stop", true); };
    link_.hooks.sendFinished = [this](const SendOutcome& o, DncLink::Origin origin) {
        sendFinished(o, origin);
    };
    link_.hooks.lineProblem = [this](const std::string& m) { ui_.message(m); };
}

void DncPanel::setConnectedControls(bool on) {
    for (const char* n :
         {"sb_sousin", "sb_dnc", "button_tuusin_reset", "label_tuusin_hint1", "label_tuusin_hint2"})
        cs_.setEnabled(n, on);
    for (const char* n : kSettingCombos) cs_.setEnabled(n, !on);
    cs_.setEnabled("button_tuusin_device", !on);
    cs_.setEnabled("button_tuusin_shokika", !on);
    if (!on) cs_.setEnabled("button_tuusin_stop", false);
}

void DncPanel::connect(bool down) {
    if (!down) {
        link_.disconnect();
        setConnectedControls(false);
        s_.dnc.connected = false;
        cs_.setCaption("sb_sousin", kCaptionForceSend);
        cs_.setChecked("sb_sousin", false);
        return;
    }
    if (link_.connected()) return;
    DncState& d = s_.dnc;
    comm_.Port = d.portDevices[static_cast<std::size_t>(clampIndex(d.port, 4))];
    comm_.setBaudRate(baudRateOfItem(d.baudrate));
    comm_.setParityBits(static_cast<TCommParityBits>(clampIndex(d.parity, 5)));
    comm_.setStopBits(static_cast<TCommStopBits>(clampIndex(d.stopbit, 3)));
    comm_.setByteSize(static_cast<TCommByteSize>(clampIndex(d.bytesize, 5)));
    d.softwareFlow = d.flow == 2;
    // "DC1/DC3" connects without the handshake, so that the machine's DC1 reaches the receiver; the
    // sender turns it on for each transfer.
    comm_.setFlowControls({false, d.flow == 1, false});
    DncOptions o;
    o.code = transferCodeFromComboIndex(d.code);
    o.eor = d.eor;
    o.cr = d.cr;
    o.softwareFlow = d.softwareFlow;
    const CommResult r = link_.connect(o, d.lineBuffer);
    if (!r.ok()) {
        ui_.message(r.message);
        cs_.setChecked("sb_rssetuzoku", false);
        return;
    }
    d.connected = true;
    setConnectedControls(true);
    cs_.setCaption("label_tuusin_status", "接続しました：" + comm_.Port);
}

void DncPanel::forceSend() {
    if (!link_.connected()) {
        cs_.setChecked("sb_sousin", false);
        return;
    }
    if (link_.sending()) {
        if (cs_.caption("sb_sousin") == kCaptionSending) {
            link_.stopSend();  // a second press on "送信中" stops the forced transfer
            return;
        }
        cs_.setChecked("sb_sousin", false);
        ui_.message(DncLink::kMsgBusy);  // the machine's DC1 started one
        return;
    }
    ui_.message(kMsgForceSend);
    cs_.setCaption("sb_sousin", kCaptionSending);
    cs_.setChecked("sb_sousin", true);
    std::string why;
    if (!link_.startSend(DncLink::Origin::Forced, programLinesForSending(program_), &why)) {
        cs_.setCaption("sb_sousin", kCaptionForceSend);
        cs_.setChecked("sb_sousin", false);
        ui_.message(why);
    }
}

void DncPanel::sendFinished(const SendOutcome& o, DncLink::Origin origin) {
    // The transfer's thread is collected by the next start or the disconnect: joining here could wait
    // for a newer transfer that started before this report was served.
    if (origin == DncLink::Origin::Forced) {
        cs_.setCaption("sb_sousin", kCaptionForceSend);
        cs_.setChecked("sb_sousin", false);
    }
    cs_.setEnabled("button_tuusin_stop", false);
    const char* what =
        o.result.ok() ? "送信終了" : (o.result.kind == CommResult::Kind::Stopped ? "送信停止" : "送信エラー");
    cs_.setCaption("label_tuusin_status",
                   format("%s %d 行 %lld バイト %.1f 秒（%.0f バイト/秒）", what, o.linesSent,
                          static_cast<long long>(o.bytes), o.seconds, o.bytesPerSecond()));
    if (!o.result.ok() && o.result.kind != CommResult::Kind::Stopped) ui_.message(o.result.message);
}

void DncPanel::applyReceived(const std::string& text, const std::string& lineBuffer) {
    s_.dnc.lineBuffer = lineBuffer;
    if (text.empty()) return;
    if (locked_) {
        held_ += text;
        return;
    }
    program_.appendToLastLine(text);
    if (hooks.programChanged) hooks.programChanged();
}

void DncPanel::setProgramLocked(bool locked) {
    locked_ = locked;
    if (locked || held_.empty()) return;
    program_.appendToLastLine(held_);
    held_.clear();
    if (hooks.programChanged) hooks.programChanged();
}

void DncPanel::setDefaults() {
    DncState& d = s_.dnc;
    d.baudrate = 6;
    d.parity = 0;
    d.stopbit = 0;
    d.bytesize = 4;
    d.port = 0;
    d.flow = 2;
    d.code = 1;
    d.softwareFlow = true;
    d.transferCode = 1;
    showDncSettings(s_.dnc, cs_);
    cs_.setCheckBox("check_eor", false);
    cs_.setCheckBox("check_cr", false);
    d.eor = d.cr = false;
    showDevice();
}

void DncPanel::showDevice() {
    const std::string& dev = s_.dnc.portDevices[static_cast<std::size_t>(clampIndex(s_.dnc.port, 4))];
    cs_.setCaption("label_tuusin_device", dev.empty() ? kMsgNoDevice : dev);
}

void DncPanel::chooseDevice() {
    std::optional<std::string> path = ui_.openFile("ポートのデバイスを選ぶ", "シリアルポート (tty*)");
    if (!path || path->empty()) return;
    s_.dnc.portDevices[static_cast<std::size_t>(clampIndex(s_.dnc.port, 4))] = *path;
    showDevice();
}

}  // namespace vantrel
