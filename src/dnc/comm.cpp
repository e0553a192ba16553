#include "dnc/comm.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vantrel {

namespace {

std::string formatCode(const char* fmt, int code) {
    char buf[96];
    std::snprintf(buf, sizeof buf, fmt, code);
    return buf;
}

CommResult failure(CommResult::Kind kind, int code, std::string message, std::string detail = {}) {
    CommResult r;
    r.kind = kind;
    r.code = code;
    r.message = std::move(message);
    r.detail = std::move(detail);
    return r;
}

speed_t standardSpeed(int32_t baud) {
    switch (baud) {
        case 50:
            return B50;
        case 75:
            return B75;
        case 110:
            return B110;
        case 134:
            return B134;
        case 150:
            return B150;
        case 200:
            return B200;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 1800:
            return B1800;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 576000:
            return B576000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        default:
            return B0;
    }
}

using Clock = std::chrono::steady_clock;

int64_t msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Device names sorted by their number ("ttyS2" before "ttyS10").
bool byNumber(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t i = s.find_last_not_of("0123456789") + 1;
        long n = i < s.size() ? std::strtol(s.c_str() + i, nullptr, 10) : -1;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

}  // namespace

std::string commOpenErrorMessage(int code) {
    return formatCode("オープンエラー ErrorCode = %d", code);
}

std::string commReadWriteErrorMessage(int code) {
    return formatCode("入出力エラー ErrorCode = %d", code);
}

std::string TComm::unsupportedSettings(TCommByteSize b, TCommStopBits s, TCommFlowControls f) {
    if (b == TCommByteSize::cbs4) return "データ長４ビットはこのシステムでは使えません。";
    if (s == TCommStopBits::csb15 && b != TCommByteSize::cbs5)
        return "ストップビット１．５はデータ長５ビットのときだけ使えます。";
    if (s == TCommStopBits::csb2 && b == TCommByteSize::cbs5)
        return "データ長５ビットではストップビット２は使えません（１．５になります）。";
    if (f.dtrDsr) return "DTR/DSRフロー制御はこのシステムでは使えません。";
    return {};
}

TComm::~TComm() {
    Close();
}

TCommFlowControls TComm::FlowControls() const {
    std::lock_guard lk(mu_);
    return flow_;
}

#define VANTREL_COMM_SETTER(name, field, type)                   \
    CommResult TComm::name(type v) {                             \
        std::lock_guard lk(mu_);                                 \
        field = v;                                               \
        return fd_.load() >= 0 ? applySettings() : CommResult{}; \
    }
VANTREL_COMM_SETTER(setBaudRate, baudRate_, int32_t)
VANTREL_COMM_SETTER(setBaudRateUserDefined, baudUser_, int32_t)
VANTREL_COMM_SETTER(setParityBits, parity_, TCommParityBits)
VANTREL_COMM_SETTER(setByteSize, byteSize_, TCommByteSize)
VANTREL_COMM_SETTER(setStopBits, stopBits_, TCommStopBits)
VANTREL_COMM_SETTER(setFlowControls, flow_, TCommFlowControls)
#undef VANTREL_COMM_SETTER

void TComm::fillTermios(termios& t) const {
    // Raw bytes both ways; parity checking on; a break is not a character.
    t.c_iflag = IGNBRK | INPCK;
    if (flow_.xonXoff) t.c_iflag |= IXON | IXOFF;
    t.c_oflag = 0;
    t.c_lflag = 0;
    tcflag_t c = CREAD | CLOCAL | HUPCL;
    switch (byteSize_) {
        case TCommByteSize::cbs5:
            c |= CS5;
            break;
        case TCommByteSize::cbs6:
            c |= CS6;
            break;
        case TCommByteSize::cbs7:
            c |= CS7;
            break;
        default:
            c |= CS8;
            break;
    }
    if (stopBits_ != TCommStopBits::csb1) c |= CSTOPB;  // 1.5 with 5 data bits, else 2
    switch (parity_) {
        case TCommParityBits::cpbNone:
            break;
        case TCommParityBits::cpbOdd:
            c |= PARENB | PARODD;
            break;
        case TCommParityBits::cpbEven:
            c |= PARENB;
            break;
        case TCommParityBits::cpbMark:
            c |= PARENB | CMSPAR | PARODD;
            break;
        case TCommParityBits::cpbSpace:
            c |= PARENB | CMSPAR;
            break;
    }
    if (flow_.rtsCts) c |= CRTSCTS;
    t.c_cflag = c;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = 0x11;  // DC1
    t.c_cc[VSTOP] = 0x13;   // DC3
}

CommResult TComm::applySettings() {
    const int fd = fd_.load();
    if (std::string why = unsupportedSettings(byteSize_, stopBits_, flow_); !why.empty())
        return failure(CommResult::Kind::Settings, 0, why);
    const int32_t baud = baudRate_ == -1 ? baudUser_ : baudRate_;
    if (baud <= 0) return failure(CommResult::Kind::Settings, 0, "通信速度が正しくありません。");
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return failure(CommResult::Kind::ReadWriteError, errno, commReadWriteErrorMessage(errno),
                       std::strerror(errno));
    fillTermios(t);
    const speed_t sp = standardSpeed(baud);
    cfsetispeed(&t, sp == B0 ? B9600 : sp);
    cfsetospeed(&t, sp == B0 ? B9600 : sp);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        return failure(CommResult::Kind::Settings, errno, "通信設定をデバイスに設定できません。",
                       std::strerror(errno));
    if (sp == B0 && !setCustomBaudRate(fd, baud))
        return failure(CommResult::Kind::Settings, 0,
                       formatCode("このデバイスは通信速度 %d bps に対応していません。", baud));
    return {};
}

CommResult TComm::Open() {
    if (isOpen()) return {};
    const int fd = ::open(Port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failure(CommResult::Kind::OpenError, errno, commOpenErrorMessage(-1),
                       Port + ": " + std::strerror(errno));
    termios probe{};
    if (tcgetattr(fd, &probe) != 0) {
        ::close(fd);
        return failure(CommResult::Kind::OpenError, ENOTTY, commOpenErrorMessage(-1),
                       Port + ": " + std::strerror(ENOTTY));
    }
    // No second program (or second Vantrel) may open the line while we hold it.
    ioctl(fd, TIOCEXCL);
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    {
        std::lock_guard lk(mu_);
        if (CommResult r = applySettings(); !r.ok()) {
            fd_ = -1;
            ::close(fd);
            return r;
        }
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        const int e = errno;
        fd_ = -1;
        ::close(fd);
        return failure(CommResult::Kind::OpenError, e, commOpenErrorMessage(-1), std::strerror(e));
    }
    closing_ = false;
    watcher_ = std::thread([this] { watch(); });
    // DTR on; RTS on as well (without the hardware handshake it is held on, with it the driver moves
    // it). A pseudo-terminal has no modem lines: its refusal is harmless.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);
    return {};
}

void TComm::Close() {
    const int fd = fd_.load();
    if (fd < 0) return;
    closing_ = true;
    const uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        // The counter cannot overflow after one write; the watcher also checks closing_.
    }
    if (watcher_.joinable()) watcher_.join();
    // Bytes the machine did not take (it held the line, or a transfer was stopped) are discarded;
    // bytes already on their way are not: a finished send has drained its queue before.
    int queued = 0;
    const bool pending = ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0;
    tcflush(fd, pending ? TCIOFLUSH : TCIFLUSH);
    int dtr = TIOCM_DTR;
    ioctl(fd, TIOCMBIC, &dtr);
    fd_ = -1;
    ::close(fd);
    ::close(wakeFd_);
    wakeFd_ = -1;
}

void TComm::watch() {
    const int fd = fd_.load();
    bool lineGone = false;
    std::vector<char> discard(4096);
    while (!closing_) {
        pollfd fds[2] = {{lineGone ? -1 : fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents != 0 || closing_) break;
        const short ev = fds[0].revents;
        if (ev & POLLIN) {
            int waiting = 0;
            if (ioctl(fd, FIONREAD, &waiting) != 0) waiting = 0;
            if (waiting > 0) {
                if (OnCommReceive) {
                    OnCommReceive(waiting);
                } else {
                    while (::read(fd, discard.data(), discard.size()) > 0) {
                    }
                }
                continue;
            }
        }
        if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
            // The other end went away (cable, adapter pulled, pty closed): tell once and wait for Close.
            lineGone = true;
            if (OnCommEvent) OnCommEvent((ev & POLLHUP) ? CommEvent::HangUp : CommEvent::Error);
        } else if (ev & POLLIN) {
            // Readable with nothing waiting: the line reports end of file.
            char b;
            if (::read(fd, &b, 1) <= 0) {
                lineGone = true;
                if (OnCommEvent) OnCommEvent(CommEvent::HangUp);
            }
        }
    }
}

CommResult TComm::Write(const void* buffer, std::size_t count, const std::atomic<bool>* stop) {
    const int fd = fd_.load();
    if (fd < 0) return failure(CommResult::Kind::NotOpen, 0, kMsgCommNotOpen);
    if (count > OutQueueSize) return failure(CommResult::Kind::TooLong, 0, kMsgCommTooLong);
    const char* p = static_cast<const char*>(buffer);
    std::size_t left = count;
    auto lastProgress = Clock::now();
    while (left > 0) {
        if (stop && stop->load()) return failure(CommResult::Kind::Stopped, 0, {});
        const ssize_t w = ::write(fd, p, left);
        if (w > 0) {
            p += w;
            left -= static_cast<std::size_t>(w);
            lastProgress = Clock::now();
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            const int e = errno;
            return failure(CommResult::Kind::ReadWriteError, e, commReadWriteErrorMessage(e),
                           Port + ": " + std::strerror(e));
        }
        // The driver's queue is full: the machine holds the line (DC3, CTS off) or it is slow.
        if (msSince(lastProgress) >= WriteTimeoutMs)
            return failure(CommResult::Kind::Timeout, ETIMEDOUT, commReadWriteErrorMessage(ETIMEDOUT),
                           Port + ": 機械が送信を止めたまま時間切れになりました");
        pollfd pf{fd, POLLOUT, 0};
        poll(&pf, 1, 50);  // short slices: a stop request is seen quickly
    }
    return {};
}

CommResult TComm::writeAll(std::string_view bytes, const std::atomic<bool>* stop) {
    while (!bytes.empty()) {
        const std::size_t n = std::min<std::size_t>(bytes.size(), std::max<uint16_t>(OutQueueSize, 1));
        if (CommResult r = Write(bytes.data(), n, stop); !r.ok()) return r;
        bytes.remove_prefix(n);
    }
    return {};
}

CommResult TComm::Read(void* buffer, std::size_t count, std::size_t& got) {
    got = 0;
    const int fd = fd_.load();
    if (fd < 0) return failure(CommResult::Kind::NotOpen, 0, kMsgCommNotOpen);
    const ssize_t r = ::read(fd, buffer, count);
    if (r >= 0) {
        got = static_cast<std::size_t>(r);
        return {};
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {};
    const int e = errno;
    return failure(CommResult::Kind::ReadWriteError, e, commReadWriteErrorMessage(e),
                   Port + ": " + std::strerror(e));
}

CommResult TComm::setSoftwareFlow(bool on) {
    TCommFlowControls f = FlowControls();
    f.xonXoff = on;
    return setFlowControls(f);
}

CommResult TComm::drain(const std::atomic<bool>* stop) {
    const int fd = fd_.load();
    if (fd < 0) return failure(CommResult::Kind::NotOpen, 0, kMsgCommNotOpen);
    auto lastProgress = Clock::now();
    int before = -1;
    for (;;) {
        int queued = 0;
        if (ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) {
            tcdrain(fd);  // the last bytes in the UART itself (bounded by the driver)
            return {};
        }
        if (stop && stop->load()) return failure(CommResult::Kind::Stopped, 0, {});
        if (queued != before) {
            before = queued;
            lastProgress = Clock::now();
        } else if (msSince(lastProgress) >= WriteTimeoutMs) {
            return failure(CommResult::Kind::Timeout, ETIMEDOUT, commReadWriteErrorMessage(ETIMEDOUT),
                           Port + ": 機械が送信を止めたまま時間切れになりました");
        }
        usleep(5000);
    }
}

bool TComm::DsrState() const {
    const int fd = fd_.load();
    if (fd < 0) return false;
    int bits = 0;
    if (ioctl(fd, TIOCMGET, &bits) != 0) return false;
    return (bits & TIOCM_DSR) != 0;
}

std::vector<std::string> findSerialDevices(const std::string& devDir) {
    std::vector<std::string> found;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        std::vector<std::string> names;
        if (DIR* d = opendir(devDir.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n.rfind(prefix, 0) != 0 || n.size() == std::strlen(prefix)) continue;
                if (n.find_first_not_of("0123456789", std::strlen(prefix)) != std::string::npos) continue;
                names.push_back(n);
            }
            closedir(d);
        }
        std::sort(names.begin(), names.end(), byNumber);
        for (auto& n : names) found.push_back(devDir + "/" + n);
    }
    return found;
}

}  // namespace vantrel
