// termios2 lives in the kernel's own header, which clashes with <termios.h>: this file includes only it.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cstdint>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace vantrel {

bool setCustomBaudRate(int fd, int32_t baud) {
    struct termios2 t2 {};
    if (ioctl(fd, TCGETS2, &t2) != 0) return false;
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    t2.c_cflag |= BOTHER;
    t2.c_ispeed = static_cast<speed_t>(baud);
    t2.c_ospeed = static_cast<speed_t>(baud);
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);
    t2.c_cflag |= BOTHER << IBSHIFT;
    if (ioctl(fd, TCSETS2, &t2) != 0) return false;
    struct termios2 check {};
    if (ioctl(fd, TCGETS2, &check) != 0) return false;
    // A driver that cannot make the speed rounds it; more than 2 % off would garble every character.
    const int64_t got = check.c_ospeed;
    return got > 0 && (got - baud) * 50 <= baud && (baud - got) * 50 <= baud;
}

}  // namespace vantrel
