#include "dnc/dnc_link.h"

#include <cstdio>

#include "program/quon_strings.h"

namespace vantrel {

namespace {
using Clock = std::chrono::steady_clock;

CommResult stopped() {
    CommResult r;
    r.kind = CommResult::Kind::Stopped;
    return r;
}
}  // namespace

std::vector<std::string> programLinesForSending(const TQuonStrings& program) {
    std::vector<std::string> lines;
    int32_t n = program.count();
    if (n > 1 && program.lineText(n - 1).empty() && !TQuonStrings::isTerminated(program.Get(n - 1))) --n;
    lines.reserve(static_cast<std::size_t>(std::max(n, 0)));
    for (int32_t i = 0; i < n; ++i) lines.emplace_back(program.lineText(i));
    return lines;
}

SendOutcome sendProgram(ByteChannel& line, const std::vector<std::string>& lines, const DncOptions& o,
                        const std::atomic<bool>& stop, const std::function<bool()>& stopRequested,
                        const std::function<void(const SendProgress&)>& progress) {
    SendOutcome out;
    const auto t0 = Clock::now();
    auto finish = [&](CommResult r) {
        out.result = std::move(r);
        out.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        return out;
    };
    if (!line.isOpen()) {
        CommResult r;
        r.kind = CommResult::Kind::NotOpen;
        r.message = kMsgCommNotOpen;
        return finish(r);
    }
    // The machine's DC3 / DC1 pause and resume this transfer only.
    if (o.softwareFlow)
        if (CommResult r = line.setSoftwareFlow(true); !r.ok()) return finish(r);
    auto result = [&]() -> CommResult {
        if (o.eor) {
            const std::string start = encodeProgramStart(o.code);
            if (CommResult r = line.writeAll(start, &stop); !r.ok()) return r;
            out.bytes += static_cast<int64_t>(start.size());
        }
        SendProgress p;
        p.lines = static_cast<int32_t>(lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (stop || (stopRequested && stopRequested())) return stopped();
            p.line = static_cast<int32_t>(i);
            p.bytes = out.bytes;
            if (progress) progress(p);
            const std::string bytes = encodeLine(lines[i], o.code, o.cr);
            if (CommResult r = line.writeAll(bytes, &stop); !r.ok()) return r;
            out.bytes += static_cast<int64_t>(bytes.size());
            out.linesSent = static_cast<int32_t>(i + 1);
        }
        return line.drain(&stop);
    }();
    if (o.softwareFlow) {
        CommResult off = line.setSoftwareFlow(false);
        if (result.ok() && !off.ok()) result = off;
    }
    return finish(result);
}

DncLink::DncLink(TComm& comm) : comm_(comm) {
    comm_.OnCommReceive = [this](int32_t waiting) { onReceive(waiting); };
    comm_.OnCommEvent = [this](CommEvent e) { onLineEvent(e); };
}

DncLink::~DncLink() {
    disconnect();
    comm_.OnCommReceive = nullptr;
    comm_.OnCommEvent = nullptr;
}

std::string DncLink::receiveLimitMessage(int64_t limit) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "受信データが上限の %lld バイトを超えたため、これ以降の受信は編集画面に入れません。",
                  static_cast<long long>(limit));
    return buf;
}

void DncLink::post(std::function<void()> fn) {
    if (hooks.post)
        hooks.post(std::move(fn));
    else
        fn();
}

CommResult DncLink::connect(const DncOptions& o, const std::string& lineBuffer) {
    if (comm_.isOpen()) return {};
    {
        std::lock_guard lk(optMu_);
        options_ = o;
    }
    decoder_ = ReceiveDecoder(o.code, comm_.dataBits() == 7, lineBuffer);
    received_ = 0;
    limitTold_ = false;
    return comm_.Open();
}

void DncLink::setOptions(const DncOptions& o) {
    std::lock_guard lk(optMu_);
    options_.eor = o.eor;
    options_.cr = o.cr;
}

void DncLink::disconnect() {
    stopSend();
    joinSend();
    comm_.Close();
}

bool DncLink::startSend(Origin origin, std::vector<std::string> lines, std::string* refusal) {
    if (!comm_.isOpen()) {
        if (refusal) *refusal = kMsgCommNotOpen;
        return false;
    }
    if (sending_) {
        if (refusal) *refusal = kMsgBusy;
        return false;
    }
    joinSend();  // the previous transfer's thread has ended; collect it
    DncOptions o;
    {
        std::lock_guard lk(optMu_);
        o = options_;
    }
    stop_ = false;
    sending_ = true;
    if (hooks.sendStarted) hooks.sendStarted(origin);
    sender_ = std::thread([this, origin, o, lines = std::move(lines)] {
        auto lastShown = Clock::now() - std::chrono::seconds(1);
        auto progress = [&](const SendProgress& p) {
            const auto now = Clock::now();
            if (now - lastShown < std::chrono::milliseconds(100) && p.line + 1 < p.lines) return;
            lastShown = now;
            if (hooks.progress) hooks.progress(p);
        };
        SendOutcome out = sendProgram(comm_, lines, o, stop_, hooks.stopRequested, progress);
        if (hooks.progress && out.linesSent > 0) {
            SendProgress last{out.linesSent - 1, static_cast<int32_t>(lines.size()), out.bytes};
            hooks.progress(last);
        }
        sendEnded_ = Clock::now().time_since_epoch().count();
        sending_ = false;
        post([this, out, origin] {
            if (hooks.sendFinished) hooks.sendFinished(out, origin);
        });
    });
    return true;
}

void DncLink::stopSend() {
    stop_ = true;
}

void DncLink::joinSend() {
    if (sender_.joinable()) sender_.join();
}

void DncLink::onReceive(int32_t waiting) {
    readBuf_.resize(static_cast<std::size_t>(std::max(waiting, 1)));
    std::size_t got = 0;
    CommResult r = comm_.Read(readBuf_.data(), readBuf_.size(), got);
    if (!r.ok()) {
        post([this, msg = r.message] {
            if (hooks.lineProblem) hooks.lineProblem(msg);
        });
        return;
    }
    if (got == 0) return;
    std::string_view bytes(readBuf_.data(), got);
    DncOptions o;
    {
        std::lock_guard lk(optMu_);
        o = options_;
    }
    if (o.softwareFlow) {
        // DC1 / DC3 meant for a transfer that runs or has just ended are flow control, not a request
        // for the program and not text (in EIA, DC3 would read as the digit 3).
        const bool flowTime =
            sending_ || Clock::now() - std::chrono::steady_clock::time_point(
                                           std::chrono::steady_clock::duration(sendEnded_.load())) <
                            kFlowGrace;
        if (flowTime) {
            filtered_.clear();
            for (char ch : bytes)
                if (ch != static_cast<char>(kDc1) && ch != static_cast<char>(kDc3)) filtered_.push_back(ch);
            bytes = filtered_;
        } else if (bytes.find(static_cast<char>(kDc1)) != std::string_view::npos) {
            // The machine asks for the program.
            post([this] {
                if (sending_ || !comm_.isOpen() || !hooks.programLines) return;
                startSend(Origin::Dc1, hooks.programLines());
            });
        }
    }
    if (received_ >= receiveLimit_ || bytes.empty()) return;
    if (received_ + static_cast<int64_t>(bytes.size()) > receiveLimit_)
        bytes = bytes.substr(0, static_cast<std::size_t>(receiveLimit_ - received_));
    received_ += static_cast<int64_t>(bytes.size());
    std::string text = decoder_.decode(bytes);
    std::string lineBuffer = decoder_.lineBuffer();
    if (received_ >= receiveLimit_ && !limitTold_) {
        limitTold_ = true;
        post([this, limit = receiveLimit_] {
            if (hooks.lineProblem) hooks.lineProblem(receiveLimitMessage(limit));
        });
    }
    if (text.empty() && o.code != TransferCode::Hex) return;
    post([this, text = std::move(text), lineBuffer = std::move(lineBuffer)] {
        if (hooks.received) hooks.received(text, lineBuffer);
    });
}

void DncLink::onLineEvent(CommEvent e) {
    const char* msg = e == CommEvent::HangUp ? "回線が切断されました。ケーブルと機械を確認してください。"
                                             : "回線でエラーが起きました。";
    post([this, m = std::string(msg)] {
        if (hooks.lineProblem) hooks.lineProblem(m);
    });
}

}  // namespace vantrel
