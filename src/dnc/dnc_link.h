#pragma once
// The DNC transfer over a line: sending the program line by line (started by the user's force send or
// by the machine's DC1), receiving the machine's bytes into the program, and the flow control around
// both.
//
// Threads. A transfer runs on a thread of its own, one at a time; the window stays free and shows
// its progress. Received bytes are read and decoded on the port's watcher thread, a chunk at a time,
// and handed to the UI thread (`Hooks::post`) in order; only the UI thread changes the program. While
// a transfer runs, DC1 from the machine is flow control, not a new request.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dnc/code_conversion.h"
#include "dnc/comm.h"

namespace vantrel {

struct DncOptions {
    TransferCode code = TransferCode::Iso;
    bool eor = false;          // check_eor: the program-start bytes first
    bool cr = false;           // check_cr: a carriage return before each end of block
    bool softwareFlow = true;  // "DC1/DC3": the machine's DC1 starts a send, DC3/DC1 pause it
};

struct SendProgress {
    int32_t line = 0;   // the line being sent (0-based)
    int32_t lines = 0;  // lines in the program
    int64_t bytes = 0;  // bytes written so far
};

struct SendOutcome {
    CommResult result;  // Ok, Stopped, or the line's error
    int32_t linesSent = 0;
    int64_t bytes = 0;
    double seconds = 0;
    double bytesPerSecond() const { return seconds > 0 ? static_cast<double>(bytes) / seconds : 0; }
};

class TQuonStrings;

// The program's lines as they are sent: every line of the store, except the empty line that follows
// a text ending with a line break (it is the end of the file, not a block).
std::vector<std::string> programLinesForSending(const TQuonStrings& program);

// Sends `lines` as the options say: the start bytes, then each line with its end of block. Before
// each line `stopRequested` is asked (the right mouse button, the panel's stop); `stop` also ends a
// write that waits for the machine. With software flow, DC1/DC3 handshake is on for the duration and
// the last bytes are drained before it goes off again. `progress` is called for every line.
SendOutcome sendProgram(ByteChannel& line, const std::vector<std::string>& lines, const DncOptions& o,
                        const std::atomic<bool>& stop, const std::function<bool()>& stopRequested,
                        const std::function<void(const SendProgress&)>& progress);

class DncLink {
  public:
    enum class Origin { Forced, Dc1 };

    struct Hooks {
        // Runs fn on the UI thread later, in the order of the calls, without waiting.
        std::function<void(std::function<void()>)> post;
        // UI thread: the program's lines to send.
        std::function<std::vector<std::string>()> programLines;
        // UI thread: decoded text to append to the program ('\n' starts a line), and the hexadecimal
        // line still being assembled.
        std::function<void(const std::string& text, const std::string& lineBuffer)> received;
        // Transfer thread, at most every 100 ms and for the last line.
        std::function<void(const SendProgress&)> progress;
        // UI thread: a transfer started (the button's caption) and ended.
        std::function<void(Origin)> sendStarted;
        std::function<void(const SendOutcome&, Origin)> sendFinished;
        // UI thread: a line problem the user must hear of (hang-up, read error, reception too large).
        std::function<void(const std::string&)> lineProblem;
        // Transfer thread, before each line: true ends the transfer (right mouse button).
        std::function<bool()> stopRequested;
    };

    // Reception beyond this many bytes since the connection is not added to the program: a machine
    // (or a wrong cable) that never stops sending cannot fill the memory. The user is told.
    static constexpr int64_t kReceiveLimit = 32 * 1024 * 1024;

    explicit DncLink(TComm& comm);
    ~DncLink();
    DncLink(const DncLink&) = delete;
    DncLink& operator=(const DncLink&) = delete;

    Hooks hooks;

    // Opens the line with the options (the port's settings are set by the caller). `lineBuffer` is
    // the hexadecimal line kept from an earlier connection.
    CommResult connect(const DncOptions& o, const std::string& lineBuffer);
    // Stops a transfer, joins it, then closes the line (which joins the watcher).
    void disconnect();
    // The code and the two check boxes may change while connected; they apply from the next transfer.
    void setOptions(const DncOptions& o);
    bool connected() const { return comm_.isOpen(); }

    // UI thread. Starts sending the lines; false (with the message in `refusal`) when the line is
    // closed or a transfer runs.
    bool startSend(Origin origin, std::vector<std::string> lines, std::string* refusal = nullptr);
    // Ends the running transfer before its next line (any thread).
    void stopSend();
    bool sending() const { return sending_; }
    // Waits for the transfer thread (UI thread; it never waits for the UI thread itself).
    void joinSend();
    int64_t receivedBytes() const { return received_; }
    void setReceiveLimit(int64_t bytes) { receiveLimit_ = bytes; }

    static constexpr const char* kMsgBusy = "送信中です。送信が終わるか停止してから送信してください。";
    static std::string receiveLimitMessage(int64_t limit);

  private:
    void onReceive(int32_t waiting);
    void onLineEvent(CommEvent e);
    void post(std::function<void()> fn);

    TComm& comm_;
    std::mutex optMu_;
    DncOptions options_;
    ReceiveDecoder decoder_{TransferCode::Iso};  // watcher thread only (and connect, before it runs)
    std::atomic<bool> sending_{false};
    std::atomic<bool> stop_{false};
    std::thread sender_;
    std::atomic<int64_t> received_{0};
    int64_t receiveLimit_ = kReceiveLimit;
    bool limitTold_ = false;  // watcher thread only
    std::vector<char> readBuf_;
    std::string filtered_;
    // When the last transfer ended (steady clock ticks): DC1 / DC3 shortly after are its flow control.
    std::atomic<int64_t> sendEnded_{0};
    static constexpr std::chrono::milliseconds kFlowGrace{1000};
};

}  // namespace vantrel
