#pragma once
// TComm: the serial port the DNC link talks to the machine through (RS-232C over a built-in port or a
// USB adapter), over POSIX termios and poll().
//
//   TComm comm;
//   comm.Port = "/dev/ttyUSB0";
//   comm.setBaudRate(9600);                       // while closed: stored, applied by Open
//   comm.OnCommReceive = [&](int32_t waiting) { ... comm.Read(buf, waiting, got) ... };
//   if (CommResult r = comm.Open(); !r.ok()) show(r.message);
//   comm.Write(bytes, &stopFlag);                 // every byte, or an error
//   comm.Close();                                 // stops and joins the watcher, then closes
//
// Every line setting is applied explicitly on open (nothing is left as the driver had it); a setter
// called while open applies its value at once. Speeds outside the standard termios set go through
// termios2 / BOTHER where the driver allows it. Settings Linux cannot do are refused by Open with a
// Japanese message: 4 data bits, 1.5 stop bits other than with 5 data bits (the UART's only 1.5),
// 2 stop bits with 5 data bits (the UART would send 1.5), DTR/DSR handshake.
//
// Failures are results, not exceptions; their messages are the component's own:
//   "通信が開始されていない。"        read or write while closed
//   "送信データ長が長すぎる。"        one write longer than OutQueueSize
//   "オープンエラー ErrorCode = -1"  the device cannot be opened
//   "入出力エラー ErrorCode = %d"    a read or write failed, or the machine held the line (DC3 or CTS
//                                    off) longer than WriteTimeoutMs; the code is the errno
//
// Threads: the watcher thread waits in poll() on the device and on an eventfd that Close signals; it
// calls OnCommReceive with the number of bytes waiting, and OnCommEvent when the line hangs up or
// fails. Handlers run on the watcher thread. Close (from any thread but the watcher) wakes and joins
// the watcher before it closes the descriptor. Write may run on one thread while the watcher reads.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct termios;

namespace vantrel {

enum class TCommParityBits : int32_t { cpbNone = 0, cpbOdd, cpbEven, cpbMark, cpbSpace };
enum class TCommStopBits : int32_t { csb1 = 0, csb15, csb2 };
// Data bits = ordinal + 4.
enum class TCommByteSize : int32_t { cbs4 = 0, cbs5, cbs6, cbs7, cbs8 };

struct TCommFlowControls {
    bool dtrDsr = false;
    bool rtsCts = false;
    bool xonXoff = false;
    bool operator==(const TCommFlowControls&) const = default;
};

inline constexpr const char* kMsgCommNotOpen = "通信が開始されていない。";
inline constexpr const char* kMsgCommTooLong = "送信データ長が長すぎる。";
std::string commOpenErrorMessage(int code);       // "オープンエラー ErrorCode = %d"
std::string commReadWriteErrorMessage(int code);  // "入出力エラー ErrorCode = %d"

struct CommResult {
    enum class Kind { Ok, NotOpen, TooLong, OpenError, ReadWriteError, Timeout, Settings, Stopped };
    Kind kind = Kind::Ok;
    int code = 0;         // errno for OpenError's cause, ReadWriteError and Timeout
    std::string message;  // what the user sees
    std::string detail;   // the device and the system's reason, for logs and the command line
    bool ok() const { return kind == Kind::Ok; }
};

// Line events other than received bytes.
enum class CommEvent { HangUp, Error };

// What the DNC transfer needs of a line: tests put a scripted channel in its place.
class ByteChannel {
  public:
    virtual ~ByteChannel() = default;
    virtual bool isOpen() const = 0;
    // Writes every byte, waiting while the machine holds the line. Ends with Stopped when `stop`
    // becomes true, with Timeout ("入出力エラー") when nothing could be written for the write bound.
    virtual CommResult writeAll(std::string_view bytes, const std::atomic<bool>* stop) = 0;
    // Switches DC1/DC3 handshake on or off while the line is open (the sender turns it on for the
    // duration of a transfer so that the machine's DC1 reaches the receiver otherwise).
    virtual CommResult setSoftwareFlow(bool on) = 0;
    // Waits (bounded, stoppable) until the bytes written have left the driver.
    virtual CommResult drain(const std::atomic<bool>* stop) = 0;
    virtual int dataBits() const = 0;
};

class TComm final : public ByteChannel {
  public:
    TComm() = default;
    ~TComm() override;
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // The device to open ("/dev/ttyUSB0"); read only by Open.
    std::string Port;

    // Properties: stored while closed, applied at once while open (the result says whether the device
    // took the value; a refused value stays stored and is refused again at the next Open).
    int32_t BaudRate() const { return baudRate_; }
    CommResult setBaudRate(int32_t baud);  // -1 selects BaudRateUserDefined
    int32_t BaudRateUserDefined() const { return baudUser_; }
    CommResult setBaudRateUserDefined(int32_t baud);
    TCommParityBits ParityBits() const { return parity_; }
    CommResult setParityBits(TCommParityBits p);
    TCommByteSize ByteSize() const { return byteSize_; }
    CommResult setByteSize(TCommByteSize b);
    TCommStopBits StopBits() const { return stopBits_; }
    CommResult setStopBits(TCommStopBits s);
    TCommFlowControls FlowControls() const;
    CommResult setFlowControls(TCommFlowControls f);
    // Buffer sizes: OutQueueSize is the largest single Write. The thresholds at which XOFF / XON are
    // sent belong to the Linux driver and are not settable; the two notify sizes are only kept.
    uint16_t InQueueSize = 4096;
    uint16_t OutQueueSize = 4096;
    int32_t ReceiveNotifySize = 3072;
    int32_t SendNotifySize = 1024;
    // How long a write may wait for the machine to take bytes (DC3 or CTS off) before it fails.
    int32_t WriteTimeoutMs = 60000;

    // The DSR line is on (false while closed or on a device without modem lines).
    bool DsrState() const;

    std::function<void(int32_t waiting)> OnCommReceive;
    std::function<void(CommEvent)> OnCommEvent;

    // Opens Port, applies every setting, starts the watcher, raises DTR. Does nothing when open.
    CommResult Open();
    // Wakes and joins the watcher, lowers DTR, discards both directions, closes. Nothing when closed.
    void Close();
    bool isOpen() const override { return fd_.load() >= 0; }

    // One write of at most OutQueueSize bytes: every byte or an error.
    CommResult Write(const void* buffer, std::size_t count, const std::atomic<bool>* stop = nullptr);
    CommResult WriteString(std::string_view text, const std::atomic<bool>* stop = nullptr) {
        return Write(text.data(), text.size(), stop);
    }
    // Reads up to `count` bytes that are waiting, without blocking; `got` is how many were read.
    CommResult Read(void* buffer, std::size_t count, std::size_t& got);

    // ByteChannel.
    CommResult writeAll(std::string_view bytes, const std::atomic<bool>* stop) override;
    CommResult setSoftwareFlow(bool on) override;
    CommResult drain(const std::atomic<bool>* stop) override;
    int dataBits() const override { return static_cast<int>(byteSize_) + 4; }

    // The terminal settings the properties stand for, as Open and the setters write them (the speed
    // is left to them). A pseudo-terminal forces 8 data bits without parity, so tests read them here.
    void fillTermios(termios& t) const;

    // The settings as a check, without a device: empty when Linux can do them, else the message.
    static std::string unsupportedSettings(TCommByteSize b, TCommStopBits s, TCommFlowControls f);

  private:
    CommResult applySettings();  // under mu_
    void watch();

    mutable std::mutex mu_;  // the settings and the descriptor's termios
    std::atomic<int> fd_{-1};
    int wakeFd_ = -1;
    std::thread watcher_;
    std::atomic<bool> closing_{false};
    int32_t baudRate_ = 9600;
    int32_t baudUser_ = 9600;
    TCommParityBits parity_ = TCommParityBits::cpbNone;
    TCommByteSize byteSize_ = TCommByteSize::cbs8;
    TCommStopBits stopBits_ = TCommStopBits::csb1;
    TCommFlowControls flow_{false, true, false};
};

// Sets a speed outside the standard termios set through termios2 / BOTHER. False when the driver
// refuses it. (Kept apart: the kernel's termios2 header cannot share a file with <termios.h>.)
bool setCustomBaudRate(int fd, int32_t baud);

// Serial devices found on this machine: /dev/ttyUSB*, /dev/ttyACM*, then /dev/ttyS*, each in number
// order (`devDir` is for tests).
std::vector<std::string> findSerialDevices(const std::string& devDir = "/dev");

}  // namespace vantrel
