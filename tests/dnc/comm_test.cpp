#include "dnc/comm.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "pty_pair.h"

namespace vantrel {
namespace {

using testing::PtyPair;
using testing::waitFor;

termios lineSettings(const PtyPair& p) {
    termios t{};
    tcgetattr(p.slave, &t);
    return t;
}

speed_t outSpeed(const PtyPair& p) {
    termios t = lineSettings(p);
    return cfgetospeed(&t);
}

TEST(TComm, SettingsWhileClosedAreStoredAndAppliedByOpen) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    EXPECT_TRUE(c.setBaudRate(4800).ok());
    EXPECT_TRUE(c.setByteSize(TCommByteSize::cbs7).ok());
    EXPECT_TRUE(c.setParityBits(TCommParityBits::cpbOdd).ok());
    EXPECT_TRUE(c.setStopBits(TCommStopBits::csb2).ok());
    EXPECT_NE(outSpeed(p), B4800);  // nothing reached the device yet
    ASSERT_TRUE(c.Open().ok());
    termios t = lineSettings(p);
    EXPECT_EQ(cfgetospeed(&t), B4800);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    // A pseudo-terminal always carries 8 bits without parity: the rest is read from what Open wrote.
    c.fillTermios(t);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_TRUE(t.c_cflag & PARENB);
    EXPECT_TRUE(t.c_cflag & PARODD);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_iflag & INPCK);
    // While open a setter applies at once.
    EXPECT_TRUE(c.setBaudRate(19200).ok());
    EXPECT_EQ(outSpeed(p), B19200);
    c.Close();
    EXPECT_FALSE(c.isOpen());
}

TEST(TComm, FlowControlsMapToTheHandshakes) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    c.setFlowControls({});
    ASSERT_TRUE(c.Open().ok());
    termios t = lineSettings(p);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
    c.setFlowControls({false, false, true});
    t = lineSettings(p);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
    c.setFlowControls({false, true, false});
    t = lineSettings(p);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & IXON);
}

TEST(TComm, SpeedsOutsideTheStandardSetGoThroughTermios2) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    c.setBaudRate(14400);
    CommResult r = c.Open();
    // A pseudo-terminal keeps any speed it is given; a real driver may refuse, which Open reports.
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_TRUE(c.setBaudRate(256000).ok());
}

TEST(TComm, SettingsLinuxCannotDoAreRefusedAtOpen) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    c.setStopBits(TCommStopBits::csb15);  // with 8 data bits
    CommResult r = c.Open();
    EXPECT_EQ(r.kind, CommResult::Kind::Settings);
    EXPECT_EQ(r.message, "ストップビット１．５はデータ長５ビットのときだけ使えます。");
    EXPECT_FALSE(c.isOpen());
    c.setByteSize(TCommByteSize::cbs5);
    EXPECT_TRUE(c.Open().ok());  // 1.5 stop bits with 5 data bits is what the UART does
    c.Close();
    c.setByteSize(TCommByteSize::cbs4);
    EXPECT_FALSE(c.Open().ok());
}

TEST(TComm, OpenErrorsAndClosedPortMessages) {
    TComm c;
    c.Port = "/dev/vantrel-no-such-port";
    CommResult r = c.Open();
    EXPECT_EQ(r.kind, CommResult::Kind::OpenError);
    EXPECT_EQ(r.message, "オープンエラー ErrorCode = -1");
    c.Port = "/dev/null";  // not a serial device
    EXPECT_EQ(c.Open().kind, CommResult::Kind::OpenError);
    EXPECT_EQ(c.WriteString("G1").message, "通信が開始されていない。");
    char b[4];
    std::size_t got = 9;
    EXPECT_EQ(c.Read(b, sizeof b, got).message, "通信が開始されていない。");
    EXPECT_EQ(got, 0u);
}

TEST(TComm, AWriteLongerThanTheQueueSendsNothing) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    ASSERT_TRUE(c.Open().ok());
    std::string big(4097, 'A');
    CommResult r = c.WriteString(big);
    EXPECT_EQ(r.kind, CommResult::Kind::TooLong);
    EXPECT_EQ(r.message, "送信データ長が長すぎる。");
    EXPECT_EQ(p.receive(1, 100), "");
    // writeAll cuts the same bytes into queue-sized writes and sends them all.
    EXPECT_TRUE(c.writeAll(big, nullptr).ok());
    EXPECT_EQ(p.receive(big.size()), big);
}

TEST(TComm, TheWatcherReportsWhatArrivesAndReadReturnsItsCount) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    std::mutex mu;
    std::string got;
    c.OnCommReceive = [&](int32_t waiting) {
        char buf[64];
        std::size_t n = 0;
        EXPECT_GT(waiting, 0);
        ASSERT_TRUE(c.Read(buf, sizeof buf, n).ok());
        std::lock_guard lk(mu);
        got.append(buf, n);
    };
    ASSERT_TRUE(c.Open().ok());
    p.send("G01 X1.\n");
    EXPECT_TRUE(waitFor([&] {
        std::lock_guard lk(mu);
        return got == "G01 X1.\n";
    }));
    c.Close();  // wakes the watcher out of poll() and joins it
}

TEST(TComm, AHangUpIsReportedOnceAndCloseStillEnds) {
    auto p = std::make_unique<PtyPair>();
    ASSERT_TRUE(p->ok());
    TComm c;
    c.Port = p->path;
    std::atomic<int> hangUps{0};
    c.OnCommEvent = [&](CommEvent e) {
        if (e == CommEvent::HangUp) ++hangUps;
    };
    ASSERT_TRUE(c.Open().ok());
    close(p->master);  // the machine's end goes away
    p->master = -1;
    EXPECT_TRUE(waitFor([&] { return hangUps.load() > 0; }));
    usleep(50000);
    EXPECT_EQ(hangUps.load(), 1);
    c.Close();
}

TEST(TComm, AWriteHeldByDc3FailsWhenTheBoundExpires) {
    PtyPair p;
    ASSERT_TRUE(p.ok());
    TComm c;
    c.Port = p.path;
    c.setFlowControls({false, false, true});
    c.WriteTimeoutMs = 300;
    ASSERT_TRUE(c.Open().ok());
    p.send("\x13");  // DC3: the machine is busy
    usleep(20000);
    std::string block(4096, 'G');
    CommResult r;
    for (int i = 0; i < 100 && r.ok(); ++i) r = c.WriteString(block);
    EXPECT_EQ(r.kind, CommResult::Kind::Timeout);
    EXPECT_EQ(r.message, "入出力エラー ErrorCode = 110");
    // A stop request ends a waiting write at once.
    std::atomic<bool> stop{true};
    c.WriteTimeoutMs = 60000;
    EXPECT_EQ(c.WriteString(block, &stop).kind, CommResult::Kind::Stopped);
}

TEST(TComm, SerialDevicesAreFoundUsbFirstInNumberOrder) {
    char tmpl[] = "/tmp/vantrel-devXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    for (const char* n : {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB1", "ttyUSB0", "ttySx", "tty0"})
        close(open((dir + "/" + n).c_str(), O_CREAT | O_WRONLY, 0600));
    std::vector<std::string> d = findSerialDevices(dir);
    std::vector<std::string> want = {dir + "/ttyUSB0", dir + "/ttyUSB1", dir + "/ttyACM0", dir + "/ttyS2",
                                     dir + "/ttyS10"};
    EXPECT_EQ(d, want);
    for (const char* n : {"ttyS10", "ttyS2", "ttyACM0", "ttyUSB1", "ttyUSB0", "ttySx", "tty0"})
        unlink((dir + "/" + n).c_str());
    rmdir(dir.c_str());
}

}  // namespace
}  // namespace vantrel
