#pragma once
// The punched-tape codes of the DNC line, as pure functions on bytes.
//
// Sending turns one program line (UTF-8, as the line store holds it) into the bytes the controller
// expects; reception turns the machine's bytes back into text. Text crosses the line as CP932, the
// encoding of the controllers' own character sets, so a comment in Japanese survives the ASCII code.
//
//   EIA (0)    the EIA table below, end of block 0x80; lower-case letters go as their upper-case codes
//   ISO (1)    7-bit codes with bit 7 as even parity, end of block 0x0A
//   hex (2)    reception shows every byte as two hexadecimal digits, ten bytes a line; sending sends the
//              bytes written as hexadecimal digit pairs (so a received dump can be sent back unchanged)
//   ASCII (3)  the bytes of the text; end of block 0x0A
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

enum class TransferCode : int32_t { Eia = 0, Iso = 1, Hex = 2, Ascii = 3 };

// Item index of combo_code ("ＥＩＡ", "ＩＳＯ", "アスキー", "１６進数") to the code, and back.
TransferCode transferCodeFromComboIndex(int index);
int comboIndexFromTransferCode(TransferCode code);
// "eia", "iso", "ascii", "hex" (the command line's names); false for anything else.
bool parseTransferCode(std::string_view name, TransferCode& code);

inline constexpr uint8_t kDc1 = 0x11;  // XON: the machine asks for the program / resumes
inline constexpr uint8_t kDc3 = 0x13;  // XOFF: the machine pauses the sender

// The bytes sent first when "送信時始めに【%】【；】 付加" is checked: EIA 0B 80, ISO A5 0A, ASCII 25 0A,
// hexadecimal nothing.
std::string encodeProgramStart(TransferCode code);

// One line of the program: its characters in the code, one 0x00 byte (tape feed), then the end of
// block (EIA: [0B] 80, ISO: [8D] 0A, ASCII: [0D] 0A, the bracketed byte with `cr`). Hexadecimal: the
// bytes of the digit pairs in the line, nothing else.
std::string encodeLine(std::string_view line, TransferCode code, bool cr);

// The byte of one character in EIA / ISO (0 when the character has no code there).
uint8_t eiaCode(char c);
uint8_t isoCode(char c);

// A whole program as `encodeLine` sends it, preceded by the start bytes when `eor`.
std::string encodeProgram(const std::vector<std::string>& lines, TransferCode code, bool eor, bool cr);

// Reception, one chunk at a time. `decode` returns the text to append to the program's last line, in
// which '\n' starts a new line. State carried between chunks: the hexadecimal line being assembled
// (`lineBuffer`, kept across connections by the caller) and, in ASCII, a CP932 lead byte whose second
// byte has not arrived yet.
class ReceiveDecoder {
  public:
    // `sevenBit`: the line carries 7 data bits, so ISO compares only the low seven bits.
    explicit ReceiveDecoder(TransferCode code, bool sevenBit = false, std::string lineBuffer = {});

    std::string decode(std::string_view bytes);
    // At the end of a stream: what is still held back (the partial hexadecimal line, a lone lead byte).
    std::string finish();
    // The partial hexadecimal line (fewer than eleven bytes received since the last full line).
    const std::string& lineBuffer() const { return lineBuffer_; }
    TransferCode code() const { return code_; }

  private:
    TransferCode code_;
    bool sevenBit_;
    std::string lineBuffer_;
    std::string pendingLead_;  // ASCII: a CP932 lead byte waiting for its trail byte
};

// The whole text of a byte stream as one reception would add it (for the command line and tests).
std::string decodeAll(std::string_view bytes, TransferCode code, bool sevenBit = false);

}  // namespace vantrel
