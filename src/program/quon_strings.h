#pragma once
// TQuonStrings: the program text, one string per line. It is the one copy of the NC program that the
// editor shows and edits and that the interpreters, the path display, the stock fit and the DNC sender
// read.
//
// Usage:
//   TQuonStrings prog;                        // holds one empty line
//   std::string msg;
//   if (!prog.LoadFromFile(path, &msg)) showError(msg);   // on failure `prog` is unchanged
//   for (int32_t i = 0; i < prog.count(); ++i) use(prog.lineText(i));
//   prog.SaveToFile(path, &msg);              // writes back in the encoding it was read in
//
// Each stored line carries its own two-character terminator: "\r\n" after a line that ended with a
// line break, two NUL characters on the last line of a text that did not end with one. A text that ends
// with a line break is followed by one extra empty line ("" without terminator). A line counts as
// terminated when its second-to-last character is NUL or CR; `lineText` gives a line without it.
//
// Text is UTF-8 inside. A file that is valid UTF-8 is kept as UTF-8; any other file is read as CP932
// and written back as CP932 (see platform/text_codec.h), so an unchanged file is saved byte for byte
// (with CR LF line breaks).
//
// Threads: only the UI thread writes the store. The playback thread reads it without a lock while a
// play runs (the editor is read-only then); warnings it writes into the text go through the UI thread.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_codec.h"

namespace vantrel {

class TQuonStrings {
  public:
    // The message of every access outside the lines.
    static constexpr const char* kIndexError = "インデックスがリストの範囲を超えています";

    TQuonStrings();  // one empty line

    int32_t count() const { return static_cast<int32_t>(lines_.size()); }
    int32_t capacity() const { return static_cast<int32_t>(lines_.capacity()); }

    // Line i with its terminator; an empty string (and no error record: readers run on other threads)
    // when i is out of range.
    const std::string& Get(int32_t i) const;
    // Line i without its terminator (empty when out of range). Valid until the line is changed.
    std::string_view lineText(int32_t i) const {
        if (i < 0 || i >= count()) return {};
        const std::string& s = lines_[static_cast<std::size_t>(i)];
        std::size_t n = s.size();
        if (n >= 2 && (s[n - 2] == '\0' || s[n - 2] == '\r')) n -= 2;
        return {s.data(), n};
    }
    static bool isTerminated(std::string_view line) {
        return line.size() >= 2 && (line[line.size() - 2] == '\0' || line[line.size() - 2] == '\r');
    }

    // Mutations. An index outside 0 .. count-1 (Insert: 0 .. count) changes nothing, returns false and
    // leaves kIndexError in lastError().
    bool Put(int32_t i, std::string line);
    int32_t Add(std::string line);  // returns the new index
    bool Insert(int32_t i, std::string line);
    bool Delete(int32_t i);
    void Clear();  // no lines at all (count 0); loading or setting text fills it again

    // The whole text: every line but the last with a CR LF break, then the last line's text. This is
    // also the image SaveToFile writes, so Text() fed to SetText() gives the same text back.
    std::string Text() const;
    // Replaces everything. CR LF, a lone CR and a lone LF all break lines; each broken line is stored
    // with "\r\n"; what follows the last break is the last line (terminated with two NULs when not
    // empty). An empty text gives one empty line.
    void SetText(std::string_view text);
    // Splits `text` the same way and inserts the lines before line `at` (0 .. count). A non-empty
    // remainder after the last break becomes a line of its own.
    bool InsertText(int32_t at, std::string_view text);
    // Appends received text to the last line; a line break in it (CR LF, CR or LF, also split across
    // calls) starts a new last line.
    void appendToLastLine(std::string_view text);

    // Each line's text, wrapped in double quotes when it holds a space or a comma, joined by commas.
    std::string CommaText() const;
    // Replaces everything with the comma-separated items (double quotes protect commas and spaces; a
    // doubled quote inside stands for one) up to the first CR or LF.
    void SetCommaText(std::string_view text);

    // First line equal to `line` (terminator included), or -1.
    int32_t IndexOf(std::string_view line) const;

    // Reading. On failure the store is left exactly as it was and `message` gets a Japanese text.
    bool LoadFromFile(const std::string& path, std::string* message = nullptr);
    bool LoadFromStream(std::istream& in, std::string* message = nullptr);
    // The bytes of a file: decoded (UTF-8 or CP932) and split into lines. Never fails.
    void LoadFromBytes(std::string_view bytes);

    // Writing, through a temporary file renamed into place. When the text was read as CP932 but now
    // holds a character CP932 cannot express, it is written as UTF-8 instead (nothing is lost; the
    // store's encoding becomes UTF-8) and `message` says so while the result is still true.
    bool SaveToFile(const std::string& path, std::string* message = nullptr);
    // The bytes SaveToFile would write (in `encoding()`); false when CP932 cannot express the text.
    bool fileImage(std::string& bytes) const;

    TextEncoding encoding() const { return encoding_; }
    void setEncoding(TextEncoding e) { encoding_ = e; }
    const std::string& lastError() const { return error_; }

    void swap(TQuonStrings& other) noexcept;
    bool operator==(const TQuonStrings& o) const { return lines_ == o.lines_; }

  private:
    void growForOne();
    bool indexError();

    std::vector<std::string> lines_;
    TextEncoding encoding_ = TextEncoding::Utf8;
    bool pendingCr_ = false;  // appendToLastLine ended on a CR: a following LF belongs to it
    std::string error_;
};

}  // namespace vantrel
