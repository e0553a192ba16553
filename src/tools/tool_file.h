#pragma once
// Tool files: all three tool stores in one ".tgs" file, and the older ".gst" file that carries one
// machine family's 99 tools column by column. Both are binary and little-endian with no header;
// doubles are IEEE-754 64-bit, integers 32-bit two's complement. They are encoded and decoded field
// by field on byte buffers, so the layout never depends on the compiler's struct packing.
//
// A file is decoded whole into temporaries and checked before any store changes: a damaged or foreign
// file leaves every table as it was.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/control_set.h"
#include "core/machine_kind.h"
#include "platform/ui_services.h"
#include "tools/command_hooks.h"
#include "tools/tool_table.h"

namespace vantrel {

inline constexpr size_t kToolRecordBytes = 106;
inline constexpr int kGstEntries = 99;
inline constexpr size_t kGstFileBytes = kGstEntries * 2 + kGstEntries * 9 * 8;  // 7326

inline constexpr const char* kToolOpenFilter =
    "*.tgs（Ver3.51以降） (*.tgs);;*.gst（Ver3.5以前） (*.gst);;*.*（すべて） (*)";
inline constexpr const char* kToolSaveFilter = "*.tgs (*.tgs);;*.*（すべて） (*)";
inline constexpr const char* kMsgToolFileOverwrite = "同名のファイルが存在します。上書きしますか？";
inline constexpr const char* kCaptionToolFileConfirm = "確認";

// The three stores a ".tgs" file carries.
struct ToolFileContents {
    std::vector<ToolRecord> millTools;
    std::vector<ToolRecord> latheTools;
    ToolRecord wireTool;
};

// The ".tgs" bytes of the stores: M, M records, L, L records, the wire record.
std::string encodeToolFile(const std::vector<ToolRecord>& millTools,
                           const std::vector<ToolRecord>& latheTools, const ToolRecord& wireTool);

// Decodes ".tgs" bytes. Accepted only when the size is exactly what the counts say, both lists have
// at least entry 0, entry 0 is numbered 0, entries 1..n-1 are numbered in strictly ascending order
// (so they are distinct and positive, as the tool selector needs), and every double is finite.
// On failure `out` is untouched and `why` (when given) says what is wrong.
bool decodeToolFile(std::string_view bytes, ToolFileContents& out, std::string* why = nullptr);

// Decodes ".gst" bytes into a copy of `list`: it gets 100 entries, entries 1..99 take the file's
// columns, their number the index and `color` the default colour; entry 0 and the holder diameters and
// reserved values of entries that existed keep their values (new entries get 0 there). Accepted only
// at exactly 7326 bytes with finite doubles; on failure `out` is untouched.
bool decodeGstFile(std::string_view bytes, const std::vector<ToolRecord>& list, uint32_t defaultColor,
                   std::vector<ToolRecord>& out, std::string* why = nullptr);

// The name a save writes to: ".tgs" is appended unless the name already ends in exactly ".tgs" or
// the chosen file exists.
std::string toolFileSaveName(const std::string& chosen, bool chosenExists);

// Reads `path` into the stores by its extension (exactly ".tgs" or ".gst", lower case; any other reads
// nothing). A ".gst" goes into the store of the family of `kind` (nothing on the wire EDM). Returns
// false with the user's message in `message` when the file cannot be read or is not a tool file; the
// stores are then unchanged.
bool readToolFile(const std::string& path, ToolTable& t, MachineKind kind, uint32_t defaultColor,
                  std::string& message);
// Writes the ".tgs" file atomically; false with the user's message on failure.
bool writeToolFile(const std::string& path, const ToolTable& t, std::string& message);

// "工具ファイル" → "読み込み": the open dialog, the read, then (whatever the extension, unless the file
// was refused) the tool list rebuilt with entry 0 selected and loaded.
void loadToolFileCommand(ControlSet& cs, ToolTable& t, MachineKind kind, UiServices& ui,
                         uint32_t defaultColor, const CommandHooks& hooks);
// "工具ファイル" → "保存": the save dialog, the ".tgs" rule, the overwrite question (asked through
// `askOverwrite` with text and caption) for the final name, the atomic write.
void saveToolFileCommand(const ToolTable& t, UiServices& ui,
                         const std::function<bool(const std::string&, const std::string&)>& askOverwrite);
// The ".tgs" rule, the overwrite question and the write for a chosen name; true when written.
bool saveToolFileAs(const std::string& chosen, const ToolTable& t, UiServices& ui,
                    const std::function<bool(const std::string&, const std::string&)>& askOverwrite);

}  // namespace vantrel
