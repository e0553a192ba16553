#include "tools/tool_file.h"

#include <array>
#include <bit>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "tools/tool_commands.h"

namespace vantrel {

namespace {

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
}
void putI32(std::string& out, int32_t v) {
    putU32(out, static_cast<uint32_t>(v));
}
void putU8(std::string& out, uint8_t v) {
    out.push_back(static_cast<char>(v));
}
void putF64(std::string& out, double v) {
    const auto bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFFu));
}

// Reads little-endian fields from a buffer whose length the caller has already checked.
class ByteReader {
  public:
    explicit ByteReader(std::string_view b) : b_(b) {}
    size_t remaining() const { return b_.size() - pos_; }
    uint8_t u8() { return static_cast<uint8_t>(b_[pos_++]); }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(u8()) << (8 * i);
        return v;
    }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    double f64() {
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(u8()) << (8 * i);
        return std::bit_cast<double>(v);
    }

  private:
    std::string_view b_;
    size_t pos_ = 0;
};

void putRecord(std::string& out, const ToolRecord& r) {
    putI32(out, r.number);
    putU8(out, r.kind);
    putU8(out, r.tipPosition);
    for (double v : {r.noseRadius, r.diameter, r.length, r.holderLength, r.angleA, r.angleB, r.axisX, r.axisY,
                     r.axisZ, r.holderDiameter, r.reserved1, r.reserved2})
        putF64(out, v);
    putI32(out, r.color);
}

// The doubles of a record in their persistent order.
std::array<double*, 12> recordDoubles(ToolRecord& r) {
    return {&r.noseRadius, &r.diameter, &r.length, &r.holderLength,   &r.angleA,    &r.angleB,
            &r.axisX,      &r.axisY,    &r.axisZ,  &r.holderDiameter, &r.reserved1, &r.reserved2};
}

bool getRecord(ByteReader& in, ToolRecord& r) {
    r.number = in.i32();
    r.kind = in.u8();
    r.tipPosition = in.u8();
    bool finite = true;
    for (double* d : recordDoubles(r)) {
        *d = in.f64();
        finite = finite && std::isfinite(*d);
    }
    r.color = in.i32();
    return finite;
}

bool fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

// Reads a count and its records; the caller has checked that they fit in what is left.
bool getList(ByteReader& in, int32_t count, std::vector<ToolRecord>& list, std::string* why) {
    list.assign(static_cast<size_t>(count), ToolRecord{});
    for (int32_t i = 0; i < count; ++i) {
        ToolRecord& r = list[static_cast<size_t>(i)];
        if (!getRecord(in, r)) return fail(why, "数値でない値があります。");
        if (i == 0 && r.number != 0) return fail(why, "先頭の工具の番号が 0 ではありません。");
        if (i > 0 && r.number <= list[static_cast<size_t>(i - 1)].number)
            return fail(why, "工具番号が昇順に並んでいません。");
    }
    return true;
}

bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

std::string readError(const std::string& path, const std::string& why) {
    return "ファイル「" + path + "」を読み込めませんでした。" + (why.empty() ? "" : "\n" + why);
}

}  // namespace

std::string encodeToolFile(const std::vector<ToolRecord>& millTools,
                           const std::vector<ToolRecord>& latheTools, const ToolRecord& wireTool) {
    std::string out;
    out.reserve(8 + kToolRecordBytes * (millTools.size() + latheTools.size() + 1));
    putI32(out, static_cast<int32_t>(millTools.size()));
    for (const ToolRecord& r : millTools) putRecord(out, r);
    putI32(out, static_cast<int32_t>(latheTools.size()));
    for (const ToolRecord& r : latheTools) putRecord(out, r);
    putRecord(out, wireTool);
    return out;
}

bool decodeToolFile(std::string_view bytes, ToolFileContents& out, std::string* why) {
    ByteReader in(bytes);
    // The sizes are compared in 64 bits: a count near 2^31 must not wrap into a plausible size.
    if (in.remaining() < 4) return fail(why, "ファイルが短すぎます。");
    const int32_t m = in.i32();
    if (m < 1) return fail(why, "フライス工具の数が正しくありません。");
    if (static_cast<uint64_t>(in.remaining()) < static_cast<uint64_t>(m) * kToolRecordBytes + 4)
        return fail(why, "ファイルが短すぎます。");
    ToolFileContents read;
    if (!getList(in, m, read.millTools, why)) return false;
    const int32_t l = in.i32();
    if (l < 1) return fail(why, "旋盤工具の数が正しくありません。");
    if (static_cast<uint64_t>(in.remaining()) != (static_cast<uint64_t>(l) + 1) * kToolRecordBytes)
        return fail(why, "ファイルの大きさが工具の数と合いません。");
    if (!getList(in, l, read.latheTools, why)) return false;
    if (!getRecord(in, read.wireTool)) return fail(why, "数値でない値があります。");
    out = std::move(read);
    return true;
}

bool decodeGstFile(std::string_view bytes, const std::vector<ToolRecord>& list, uint32_t defaultColor,
                   std::vector<ToolRecord>& out, std::string* why) {
    if (bytes.size() != kGstFileBytes) return fail(why, "ファイルの大きさが正しくありません。");
    std::vector<ToolRecord> read = list;
    const size_t existed = read.size();
    read.resize(kGstEntries + 1);
    for (size_t i = existed; i < read.size(); ++i) {
        // Entries the list did not have carry nothing the file could fill in but its columns.
        read[i].holderDiameter = 0;
        read[i].reserved1 = 0;
        read[i].reserved2 = 0;
    }
    ByteReader in(bytes);
    for (int i = 1; i <= kGstEntries; ++i) read[static_cast<size_t>(i)].kind = in.u8();
    for (int i = 1; i <= kGstEntries; ++i) read[static_cast<size_t>(i)].tipPosition = in.u8();
    for (int field = 0; field < 9; ++field)
        for (int i = 1; i <= kGstEntries; ++i) {
            const double v = in.f64();
            if (!std::isfinite(v)) return fail(why, "数値でない値があります。");
            *recordDoubles(read[static_cast<size_t>(i)])[static_cast<size_t>(field)] = v;
        }
    for (int i = 1; i <= kGstEntries; ++i) {
        read[static_cast<size_t>(i)].number = i;
        read[static_cast<size_t>(i)].color = static_cast<int32_t>(defaultColor);
    }
    out = std::move(read);
    return true;
}

std::string toolFileSaveName(const std::string& chosen, bool chosenExists) {
    if (chosenExists || endsWith(chosen, ".tgs")) return chosen;
    return chosen + ".tgs";
}

bool readToolFile(const std::string& path, ToolTable& t, MachineKind kind, uint32_t defaultColor,
                  std::string& message) {
    const bool tgs = endsWith(path, ".tgs");
    const bool gst = endsWith(path, ".gst");
    if (!tgs && !gst) return true;  // not a tool file's name: nothing is read
    std::vector<ToolRecord>* family = toolListFor(t, kind);
    if (gst && !family) return true;  // the old format has no wire
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(path), ec)) {
        message = readError(path, "");
        return false;
    }
    std::string bytes, why;
    if (!readWholeFile(path, bytes, &why)) {
        message = readError(path, why);
        return false;
    }
    if (tgs) {
        ToolFileContents read;
        if (!decodeToolFile(bytes, read, &why)) {
            message = readError(path, "工具ファイルではありません。" + why);
            return false;
        }
        t.millTools = std::move(read.millTools);
        t.latheTools = std::move(read.latheTools);
        t.wireTool = read.wireTool;
        return true;
    }
    std::vector<ToolRecord> read;
    if (!decodeGstFile(bytes, *family, defaultColor, read, &why)) {
        message = readError(path, "工具ファイルではありません。" + why);
        return false;
    }
    *family = std::move(read);
    return true;
}

bool writeToolFile(const std::string& path, const ToolTable& t, std::string& message) {
    std::string why;
    if (writeFileAtomically(path, encodeToolFile(t.millTools, t.latheTools, t.wireTool), &why)) return true;
    message = "ファイル「" + path + "」に保存できませんでした。" + (why.empty() ? "" : "\n" + why);
    return false;
}

void loadToolFileCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                         uint32_t defaultColor, const CommandHooks& hooks) {
    const auto path = ui.openFile("読み込み", kToolOpenFilter);
    if (!path || path->empty()) return;
    // The working tool's last edit is in its table already; reading replaces the tables wholesale.
    std::string message;
    if (!readToolFile(*path, t, kind, defaultColor, message)) {
        ui.message(message);
        return;
    }
    showReplacedToolTables(cs, t, kind, hooks);
}

bool saveToolFileAs(const std::string& chosen, const ToolTable& t, UiServices& ui,
                    const std::function<bool(const std::string&, const std::string&)>& askOverwrite) {
    const std::string name = toolFileSaveName(chosen, exists(chosen));
    // The final name is tested, so that appending ".tgs" never overwrites a file unasked.
    if (exists(name) && !(askOverwrite && askOverwrite(kMsgToolFileOverwrite, kCaptionToolFileConfirm)))
        return false;
    std::string message;
    if (!writeToolFile(name, t, message)) {
        ui.message(message);
        return false;
    }
    return true;
}

void saveToolFileCommand(const ToolTable& t, UiServices& ui,
                         const std::function<bool(const std::string&, const std::string&)>& askOverwrite) {
    const auto chosen = ui.saveFile("保存", kToolSaveFilter, "");
    if (!chosen || chosen->empty()) return;
    saveToolFileAs(*chosen, t, ui, askOverwrite);
}

}  // namespace vantrel
