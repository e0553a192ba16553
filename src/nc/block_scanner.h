#pragma once
// The block scanner: turns the lines of the program text into blocks of address words, performs the
// subprogram calls and returns (M98 / M99) while it reads, and keeps the look-ahead queue.
//
// Usage, one pass over the program:
//   ScanState scan;
//   scan.startPass(startLine);          // 0 unless a start block was chosen
//   BlockQueue queue;                   // one per play; all five entries start empty
//   for (;;) {
//       FetchBlock(program, scan, queue);        // the newest block lands in entry 0
//       const BlockWords& b = queue.executing(); // entry 4: the block to execute now
//       if (b.count > 0) { ... ApplyBlock(modal, b, ...) ...; look ahead with queue[3] .. queue[0] }
//       if (b.programEnd) break;                 // M99 of the main program: the play ends after it
//       ...
//   }
// The first real block reaches entry 4 on the fifth fetch. Once the text is exhausted every further
// fetch scans the last line again (`scan.exhausted` tells when a fetch ran past the end); after an M99
// of the main program (`scan.programEnded`) fetches only add empty entries.
//
// Values: a number written without a decimal point counts in thousandths (X100 is 0.1, X100. is 100).
// The code words G H L M N O P S T come out as their written integers (G01 1, T1001 1001, G06.2 6.2),
// exactly, so they can be compared with ==. D and F without decimal point are whole numbers; an F with
// decimal point carries kFeedDecimalMarker added (F1.5 gives 1000000001.5). Every value is finite.
//
// Text is UTF-8; bytes of non-ASCII characters are skipped whole and never read as address letters.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace vantrel {

class TQuonStrings;

// Address codes: A..Z are 0..25 (upper or lower case), "#" 30, "/" 31 (block skip, value 0).
using WordCode = int32_t;
inline constexpr WordCode kCodeA = 0, kCodeB = 1, kCodeC = 2, kCodeD = 3, kCodeE = 4, kCodeF = 5, kCodeG = 6,
                          kCodeH = 7, kCodeI = 8, kCodeJ = 9, kCodeK = 10, kCodeL = 11, kCodeM = 12,
                          kCodeN = 13, kCodeO = 14, kCodeP = 15, kCodeQ = 16, kCodeR = 17, kCodeS = 18,
                          kCodeT = 19, kCodeU = 20, kCodeV = 21, kCodeW = 22, kCodeX = 23, kCodeY = 24,
                          kCodeZ = 25, kCodeSharp = 30, kCodeSlash = 31;
constexpr WordCode wordCode(char upperLetter) {
    return upperLetter - 'A';
}
// The letter of a code as the user writes it ("#" and "/" for 30 and 31, "?" for anything else).
char wordLetter(WordCode code);

// Added to an F value written with a decimal point; ApplyBlock tests for it and subtracts it again.
inline constexpr double kFeedDecimalMarker = 1e9;

struct SubprogramStack {
    static constexpr int kCapacity = 11;
    std::array<int32_t, kCapacity> returnLine{};  // the line of each calling M98 block
    int8_t depth = 0;                             // 0: main program
};

// One scanned block.
struct BlockWords {
    static constexpr int kMaxWords = 30;
    std::array<WordCode, kMaxWords> codes{};  // in the order the words stand in the line
    std::array<double, kMaxWords> values{};   // after scaling (see above)
    std::array<bool, kMaxWords> decimal{};    // the word was written with a decimal point
    int32_t count = 0;                        // 0 .. 30; words beyond the 30th are not stored
    int32_t line = 0;                         // 0-based program line that produced the block
    bool programEnd = false;                  // holds the M99 that ended the main program
    // The subprogram calls in force once the block's line was read: where reading resumes when the
    // play continues elsewhere than the look-ahead went (RedirectFetch).
    SubprogramStack stackAfter{};

    void clear() {
        codes.fill(0);
        values.fill(0.0);
        decimal.fill(false);
        count = 0;
        line = 0;
        programEnd = false;
        stackAfter = SubprogramStack{};
    }
    // Appends a word when there is room; false when the block is full.
    bool append(WordCode code, double value, bool writtenWithDecimal = false) {
        if (count >= kMaxWords) return false;
        codes[static_cast<std::size_t>(count)] = code;
        values[static_cast<std::size_t>(count)] = value;
        decimal[static_cast<std::size_t>(count)] = writtenWithDecimal;
        ++count;
        return true;
    }
    // The index of the first word with this code, or -1.
    int find(WordCode code) const {
        for (int i = 0; i < count; ++i)
            if (codes[static_cast<std::size_t>(i)] == code) return i;
        return -1;
    }
};

// Five blocks: entry 0 the newest scanned, entry 4 the one executing, entries 3, 2, 1, 0 the next four
// in execution order. Entries are addressed by number; moving them up costs nothing (a ring).
class BlockQueue {
  public:
    static constexpr int kEntries = 5;
    BlockWords& operator[](int entry) { return slots_[slot(entry)]; }
    const BlockWords& operator[](int entry) const { return slots_[slot(entry)]; }
    BlockWords& newest() { return (*this)[0]; }
    const BlockWords& executing() const { return (*this)[4]; }

    // Entry 3 to 4, 2 to 3, 1 to 2, 0 to 1; entry 0 cleared.
    void shift() {
        head_ = (head_ + kEntries - 1) % kEntries;
        slots_[slot(0)].clear();
    }
    void clear() {
        for (auto& s : slots_) s.clear();
    }
    void clearNewest() { slots_[slot(0)].clear(); }

  private:
    std::size_t slot(int entry) const { return static_cast<std::size_t>((head_ + entry) % kEntries); }
    std::array<BlockWords, kEntries> slots_{};
    int head_ = 0;
};

// Which letters mark a subprogram label: N and O on the milling machines and the wire EDM ...
enum class LabelLetters { NAndO, OOnly };

// What the scanner carries from line to line during one pass.
struct ScanState {
    int32_t nextLine = 0;      // next line to read
    bool inComment = false;    // "(" seen and no ")" yet; spans lines
    bool callPending = false;  // an M98 stands in the line being scanned
    double lastP = 0;          // scaled value of the latest P word
    SubprogramStack stack;
    bool programEnded = false;  // an M99 of the main program was scanned
    bool exhausted = false;     // the latest fetch ran past the last line
    LabelLetters labelLetters = LabelLetters::NAndO;

    // Start of a pass.
    void startPass(int32_t startLine) {
        nextLine = startLine < 0 ? 0 : startLine;
        inComment = false;
        callPending = false;
        stack.depth = 0;
        programEnded = false;
        exhausted = false;
        labelIndex.clear();
        labelsIndexed = false;
    }

    // First line of each label number, built at the first call of a pass (the text does not change
    // while a program plays).
    std::unordered_map<int32_t, int32_t> labelIndex;
    bool labelsIndexed = false;
};

struct ParsedNumber {
    double value = 0;    // as written, a number without "." divided by 1000
    double integer = 0;  // the digits before any "." as a whole number (for exact code words)
    int32_t consumed = 0;
    bool hadDecimal = false;
    bool hadDigits = false;
    bool negative = false;
};

// Largest magnitude a number of the text reads as: longer digit strings saturate here instead of
// overflowing to infinity.
inline constexpr double kMaxWordMagnitude = 1e15;

// Reads the number that starts at `pos` (0-based; the character after the address letter). Spaces and
// "+" are skipped, a "-" anywhere negates, a second "." changes nothing; any other character ends it.
ParsedNumber ParseWordValue(std::string_view line, std::size_t pos);

// Reads a label number at `pos`: digits and up to one "."; with "." the number times 100 rounded half
// to even (O1000.0 gives 100000). Saturates at the int32 range. `consumed` may be null.
int32_t ParseLabelNumber(std::string_view line, std::size_t pos, int32_t* consumed = nullptr);

// The value a word of this code stores, from its parsed number.
double scaleWordValue(WordCode code, const ParsedNumber& n);

// The value of a scanned word read by the one rule for every address: without a decimal point in
// thousandths (P2000 and D2000 give 2, U2 0.002), with one as written; F loses its decimal marker.
// Cycle words whose unit depends on the cycle (micrometre pecks, pass counts) start from it.
double writtenValue(WordCode code, double scaled, bool decimal);

// Scans one line into `out` (which the caller has cleared) and updates the state: comment flag, call
// request, subprogram return, lastP, end of the main program.
void ScanLine(std::string_view text, int32_t lineIndex, ScanState& state, BlockWords& out);

// Moves the queue up and scans lines into entry 0 until a block with words is read or the text ends,
// performing a pending M98 call.
void FetchBlock(const TQuonStrings& program, ScanState& state, BlockQueue& queue);

// Continues reading at `line` instead of where the look-ahead stands: the entries after the executing
// one (3 .. 0) are read again from there, with the subprogram calls `stack` (the executing block's
// stackAfter when the play resumes in its program). Used where a block sends the play elsewhere in
// the text (a lathe cycle continuing after its finished shape, G70 running the shape's blocks).
void RedirectFetch(const TQuonStrings& program, ScanState& state, BlockQueue& queue, int32_t line,
                   const SubprogramStack& stack);

}  // namespace vantrel
