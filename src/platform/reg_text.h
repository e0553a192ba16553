#pragma once
// The registry's own text export syntax ("REGEDIT4" files), as pure functions on bytes.
//
// The settings live in one such file so that a key exported from the registry of another system can be
// placed there and read. Reading accepts what registry exports contain: UTF-8 (with or without a byte
// order mark), UTF-16LE with its byte order mark, CP932 text, CR LF or LF line breaks, comments, the
// header "REGEDIT4" or "Windows Registry Editor Version 5.00", and binary values split over
// continuation lines ending in '\'. Writing produces a REGEDIT4 file in UTF-8 with CR LF breaks and
// binary values wrapped like an export does.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrel {

enum class RegValueKind {
    Dword,   // dword:xxxxxxxx (also hex(4): with four bytes)
    Binary,  // hex:xx,xx,...
    String,  // "text" (also hex(1): and hex(2):, decoded to text)
    Other,   // hex(n): of any other registry type, kept as raw bytes
};

struct RegValue {
    std::string name;  // UTF-8; empty for the key's default value ("@")
    RegValueKind kind = RegValueKind::Dword;
    uint32_t dword = 0;
    std::string data;   // Binary and Other: the raw bytes; String: UTF-8 text
    int otherType = 0;  // the n of hex(n): for Other

    static RegValue makeDword(std::string name, uint32_t v);
    static RegValue makeBinary(std::string name, std::string bytes);
    static RegValue makeString(std::string name, std::string text);
};

struct RegKey {
    std::string path;  // as written between the brackets, e.g. HKEY_CURRENT_USER\Software\orvik\Vantrel
    std::vector<RegValue> values;

    // The value with this name (registry names compare without regard to ASCII case), or nullptr.
    // Looked up through an index, so a key with many thousand values (long tool tables) stays quick.
    const RegValue* find(std::string_view name) const;
    RegValue* find(std::string_view name);
    // Replaces the value of the same name in place, or appends it.
    void set(RegValue v);
    // Removes the value of this name, when there is one.
    void remove(std::string_view name);

  private:
    // Lower-cased name to position in `values`; rebuilt whenever it no longer matches them.
    mutable std::unordered_map<std::string, size_t> index_;
    const RegValue* lookup(std::string_view name) const;
};

struct RegDocument {
    std::vector<RegKey> keys;  // in file order; a key named twice is merged into its first place

    const RegKey* findKey(std::string_view path) const;
    RegKey& key(std::string_view path);  // found or appended
};

struct RegParseResult {
    bool ok = false;                // false: no registry header (not a registry file)
    std::vector<int> skippedLines;  // 1-based numbers of lines that could not be read (and were skipped)
};

// Decodes the text (see above) and reads every key and value. Later values of the same name replace
// earlier ones, and "name"=- removes one, as an import into the registry would.
RegParseResult parseRegText(std::string_view bytes, RegDocument& doc);

// The document as a REGEDIT4 file in UTF-8.
std::string serialiseRegText(const RegDocument& doc);

// Text in any of the accepted encodings, as UTF-8 (the byte order mark removed).
std::string decodeRegTextBytes(std::string_view bytes);

// True when the key path names `wanted` (compared without regard to ASCII case); a key exported from
// another user's hive (HKEY_USERS\<user>\...) matches a HKEY_CURRENT_USER path with the same rest.
bool regKeyPathMatches(std::string_view path, std::string_view wanted);

}  // namespace vantrel
