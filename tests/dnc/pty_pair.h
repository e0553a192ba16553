#pragma once
// A pseudo-terminal pair for the serial tests: the slave's path is the "port" the program opens, the
// master is the machine at the other end of the cable.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace vantrel::testing {

struct PtyPair {
    int master = -1;
    int slave = -1;  // held open so the line stays up while the program opens and closes its side
    std::string path;

    PtyPair() {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return;
        path = ttyname(slave);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
    }
    ~PtyPair() {
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    bool ok() const { return master >= 0; }

    void send(std::string_view bytes) const {
        while (!bytes.empty()) {
            ssize_t w = write(master, bytes.data(), bytes.size());
            if (w > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(w));
            } else {
                pollfd p{master, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
    }
    // Reads what arrives until `want` bytes came or nothing arrived for `quietMs`.
    std::string receive(std::size_t want, int quietMs = 1000) const {
        std::string out;
        char buf[4096];
        while (out.size() < want) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, quietMs) <= 0) break;
            ssize_t r = read(master, buf, sizeof buf);
            if (r <= 0) break;
            out.append(buf, static_cast<std::size_t>(r));
        }
        return out;
    }
};

// Waits until pred() holds or the time is up.
template <typename Pred>
bool waitFor(Pred pred, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        usleep(1000);
    }
    return true;
}

}  // namespace vantrel::testing
