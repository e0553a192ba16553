#include "cli/dnc_commands.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <mutex>
#include <thread>

#include "dnc/code_conversion.h"
#include "dnc/comm.h"
#include "dnc/dnc_link.h"
#include "program/quon_strings.h"

namespace vantrel {

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string file;
    std::string port;
    TransferCode code = TransferCode::Iso;
    bool eor = false, cr = false, sevenBit = false, waitDc1 = false;
    int32_t baud = 9600;
    TCommParityBits parity = TCommParityBits::cpbNone;
    TCommStopBits stop = TCommStopBits::csb1;
    TCommByteSize bits = TCommByteSize::cbs8;
    std::string flow = "dc1";
    double timeout = 60, idle = 3;
    int64_t limit = DncLink::kReceiveLimit;
};

bool parse(const std::vector<std::string>& args, bool wantsFile, Options& o, std::ostream& err) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                err << "vantrel-sim: " << a << " needs a value\n";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "--eor") {
            o.eor = true;
        } else if (a == "--cr") {
            o.cr = true;
        } else if (a == "--seven-bit") {
            o.sevenBit = true;
        } else if (a == "--wait-dc1") {
            o.waitDc1 = true;
        } else if (a == "--code") {
            if (!value(v)) return false;
            if (!parseTransferCode(v, o.code)) {
                err << "vantrel-sim: --code must be eia, iso, ascii or hex\n";
                return false;
            }
        } else if (a == "--port") {
            if (!value(o.port)) return false;
        } else if (a == "--baud") {
            if (!value(v)) return false;
            char* end = nullptr;
            long b = std::strtol(v.c_str(), &end, 10);
            if (*end || b <= 0 || b > 4000000) {
                err << "vantrel-sim: --baud must be a speed in bits per second\n";
                return false;
            }
            o.baud = static_cast<int32_t>(b);
        } else if (a == "--parity") {
            if (!value(v)) return false;
            if (v == "none")
                o.parity = TCommParityBits::cpbNone;
            else if (v == "odd")
                o.parity = TCommParityBits::cpbOdd;
            else if (v == "even")
                o.parity = TCommParityBits::cpbEven;
            else if (v == "mark")
                o.parity = TCommParityBits::cpbMark;
            else if (v == "space")
                o.parity = TCommParityBits::cpbSpace;
            else {
                err << "vantrel-sim: --parity must be none, even, odd, mark or space\n";
                return false;
            }
        } else if (a == "--stop") {
            if (!value(v)) return false;
            if (v == "1")
                o.stop = TCommStopBits::csb1;
            else if (v == "1.5")
                o.stop = TCommStopBits::csb15;
            else if (v == "2")
                o.stop = TCommStopBits::csb2;
            else {
                err << "vantrel-sim: --stop must be 1, 1.5 or 2\n";
                return false;
            }
        } else if (a == "--bits") {
            if (!value(v)) return false;
            if (v.size() != 1 || v[0] < '5' || v[0] > '8') {
                err << "vantrel-sim: --bits must be 5, 6, 7 or 8\n";
                return false;
            }
            o.bits = static_cast<TCommByteSize>(v[0] - '4');
        } else if (a == "--flow") {
            if (!value(o.flow)) return false;
            if (o.flow != "none" && o.flow != "rtscts" && o.flow != "dc1") {
                err << "vantrel-sim: --flow must be none, rtscts or dc1\n";
                return false;
            }
        } else if (a == "--timeout" || a == "--idle") {
            if (!value(v)) return false;
            char* end = nullptr;
            double s = std::strtod(v.c_str(), &end);
            if (*end || !(s > 0) || s > 86400) {
                err << "vantrel-sim: " << a << " must be seconds (more than 0)\n";
                return false;
            }
            (a == "--timeout" ? o.timeout : o.idle) = s;
        } else if (a == "--limit") {
            if (!value(v)) return false;
            char* end = nullptr;
            long long n = std::strtoll(v.c_str(), &end, 10);
            if (*end || n <= 0) {
                err << "vantrel-sim: --limit must be a number of bytes\n";
                return false;
            }
            o.limit = n;
        } else if (!a.empty() && a[0] == '-') {
            err << "vantrel-sim: unknown option " << a << "\n";
            return false;
        } else if (wantsFile && o.file.empty()) {
            o.file = a;
        } else {
            err << "vantrel-sim: unexpected argument " << a << "\n";
            return false;
        }
    }
    if (wantsFile && o.file.empty()) {
        err << "vantrel-sim: a program FILE is needed\n";
        return false;
    }
    return true;
}

bool loadProgram(const std::string& file, std::vector<std::string>& lines, std::ostream& err) {
    TQuonStrings p;
    std::string msg;
    if (!p.LoadFromFile(file, &msg)) {
        err << "vantrel-sim: " << file << ": " << msg << "\n";
        return false;
    }
    lines = programLinesForSending(p);
    return true;
}

void configure(TComm& c, const Options& o) {
    c.Port = o.port;
    c.setBaudRate(o.baud);
    c.setParityBits(o.parity);
    c.setStopBits(o.stop);
    c.setByteSize(o.bits);
    c.setFlowControls({false, o.flow == "rtscts", false});
    c.WriteTimeoutMs = static_cast<int32_t>(o.timeout * 1000);
}

int failed(const CommResult& r, std::ostream& err) {
    err << "vantrel-sim: " << r.message;
    if (!r.detail.empty()) err << " (" << r.detail << ")";
    err << "\n";
    return r.kind == CommResult::Kind::Timeout ? kExitTimeout : kExitLineError;
}

int runEncode(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    if (!parse(args, true, o, err)) return kExitUsage;
    std::vector<std::string> lines;
    if (!loadProgram(o.file, lines, err)) return kExitLineError;
    const std::string bytes = encodeProgram(lines, o.code, o.eor, o.cr);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out.good() ? 0 : kExitLineError;
}

int runDecode(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    Options o;
    if (!parse(args, false, o, err)) return kExitUsage;
    ReceiveDecoder d(o.code, o.sevenBit);
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        const std::string text = d.decode(std::string_view(buf, static_cast<std::size_t>(in.gcount())));
        out << text;
    }
    out << d.finish();
    return out.good() ? 0 : kExitLineError;
}

int runSend(const std::vector<std::string>& args, std::ostream& err) {
    Options o;
    if (!parse(args, true, o, err)) return kExitUsage;
    if (o.port.empty()) {
        err << "vantrel-sim: send needs --port DEVICE\n";
        return kExitUsage;
    }
    std::vector<std::string> lines;
    if (!loadProgram(o.file, lines, err)) return kExitLineError;
    TComm comm;
    configure(comm, o);
    std::atomic<bool> dc1{false};
    comm.OnCommReceive = [&](int32_t waiting) {
        std::string buf(static_cast<std::size_t>(waiting), '\0');
        std::size_t got = 0;
        if (comm.Read(buf.data(), buf.size(), got).ok() && buf.find(static_cast<char>(kDc1), 0) < got)
            dc1 = true;
    };
    if (CommResult r = comm.Open(); !r.ok()) return failed(r, err);
    if (o.waitDc1) {
        const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(o.timeout * 1000));
        while (!dc1 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!dc1) {
            err << "vantrel-sim: the machine did not ask for the program (no DC1)\n";
            return kExitTimeout;
        }
    }
    DncOptions d;
    d.code = o.code;
    d.eor = o.eor;
    d.cr = o.cr;
    d.softwareFlow = o.flow == "dc1";
    std::atomic<bool> stop{false};
    SendOutcome res = sendProgram(comm, lines, d, stop, nullptr, nullptr);
    comm.Close();
    if (!res.result.ok()) {
        err << "vantrel-sim: after " << res.linesSent << " lines, " << res.bytes << " bytes: ";
        return failed(res.result, err);
    }
    char summary[160];
    std::snprintf(summary, sizeof summary, "sent %d lines, %lld bytes in %.2f s (%.0f bytes/s)\n",
                  res.linesSent, static_cast<long long>(res.bytes), res.seconds, res.bytesPerSecond());
    err << summary;
    return 0;
}

int runReceive(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    if (!parse(args, false, o, err)) return kExitUsage;
    if (o.port.empty()) {
        err << "vantrel-sim: receive needs --port DEVICE\n";
        return kExitUsage;
    }
    TComm comm;
    configure(comm, o);
    // With "dc1" the kernel's XON/XOFF stays off while receiving, as in the panel: in EIA the byte of
    // DC3 is the digit 3.
    std::mutex mu;
    ReceiveDecoder dec(o.code, o.bits == TCommByteSize::cbs7);
    std::string pending;
    int64_t total = 0;
    bool any = false, overLimit = false;
    auto last = Clock::now();
    std::atomic<bool> lineGone{false};
    CommResult readError;
    comm.OnCommReceive = [&](int32_t waiting) {
        std::string buf(static_cast<std::size_t>(waiting), '\0');
        std::size_t got = 0;
        CommResult r = comm.Read(buf.data(), buf.size(), got);
        std::lock_guard lk(mu);
        if (!r.ok()) {
            readError = r;
            return;
        }
        if (got == 0) return;
        any = true;
        last = Clock::now();
        if (total + static_cast<int64_t>(got) > o.limit) {
            got = static_cast<std::size_t>(std::max<int64_t>(0, o.limit - total));
            overLimit = true;
        }
        total += static_cast<int64_t>(got);
        pending += dec.decode(std::string_view(buf.data(), got));
    };
    comm.OnCommEvent = [&](CommEvent) { lineGone = true; };
    if (CommResult r = comm.Open(); !r.ok()) return failed(r, err);
    const auto start = Clock::now();
    int rc = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::lock_guard lk(mu);
        out << pending;
        pending.clear();
        if (!readError.ok()) {
            rc = failed(readError, err);
            break;
        }
        if (overLimit) {
            err << "vantrel-sim: " << DncLink::receiveLimitMessage(o.limit) << "\n";
            rc = kExitLineError;
            break;
        }
        const auto now = Clock::now();
        if (any && std::chrono::duration<double>(now - last).count() >= o.idle) break;
        if (lineGone) {
            if (!any) {
                err << "vantrel-sim: " << o.port << ": the line hung up\n";
                rc = kExitLineError;
            }
            break;
        }
        if (!any && std::chrono::duration<double>(now - start).count() >= o.timeout) {
            err << "vantrel-sim: nothing arrived within " << o.timeout << " s\n";
            rc = kExitTimeout;
            break;
        }
    }
    comm.Close();
    out << pending << dec.finish();
    out.flush();
    if (rc == 0) err << "received " << total << " bytes\n";
    return rc;
}

}  // namespace

const char* dncCommandsUsage() {
    return "  encode FILE --code eia|iso|ascii|hex [--eor] [--cr]\n"
           "                        write the bytes FILE is sent as to standard output\n"
           "  decode --code eia|iso|ascii|hex [--seven-bit] < BYTES\n"
           "                        write the text of received bytes to standard output\n"
           "  send FILE --port DEVICE [--baud N] [--parity none|even|odd|mark|space] [--stop 1|1.5|2]\n"
           "       [--bits 5|6|7|8] [--flow none|rtscts|dc1] [--code C] [--eor] [--cr] [--wait-dc1]\n"
           "       [--timeout S]    send FILE over a serial line (exit 3: timeout, 1: line error)\n"
           "  receive --port DEVICE [line options] [--code C] [--timeout S] [--idle S] [--limit BYTES]\n"
           "                        receive a program to standard output; ends S (--idle, default 3)\n"
           "                        seconds after the last byte\n";
}

bool runDncCommand(const std::string& command, const std::vector<std::string>& args, std::istream& in,
                   std::ostream& out, std::ostream& err, int& rc) {
    if (command == "encode")
        rc = runEncode(args, out, err);
    else if (command == "decode")
        rc = runDecode(args, in, out, err);
    else if (command == "send")
        rc = runSend(args, err);
    else if (command == "receive")
        rc = runReceive(args, out, err);
    else
        return false;
    return true;
}

}  // namespace vantrel
