#pragma once
// What a command needs from a person: messages, questions and the standard dialogs. The GUI realises
// this with Qt dialogs; headless work uses UnattendedUiServices, and tests a scripted double that
// records every call and answers from a script (tests/support).
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel {

// The caption of every plain message box.
inline constexpr const char* kMessageCaption = "VANTREL";

// The answer to a question that can also be withdrawn: Yes, No, or Cancel (leave everything as it was).
enum class YesNoCancel { Yes, No, Cancel };

struct FontChoice {
    std::string family;
    int size = 10;
    bool bold = false;
    bool italic = false;
};

class UiServices {
  public:
    virtual ~UiServices() = default;
    // A plain message box: caption "VANTREL", the text, one OK button.
    virtual void message(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // A Yes/No/Cancel question; closing the box without an answer is Cancel.
    virtual YesNoCancel askYesNoCancel(const std::string& text) = 0;
    // File dialogs: the chosen path, or nothing when cancelled. filter is "説明 (*.ext *.ext2)".
    virtual std::optional<std::string> openFile(const std::string& title, const std::string& filter) = 0;
    virtual std::optional<std::string> saveFile(const std::string& title, const std::string& filter,
                                                const std::string& suggestedName) = 0;
    // The keypad dialog: returns the value the user set, or nothing when cancelled.
    virtual std::optional<double> keypad(double initial) = 0;
    // Colour dialog preset to a 0x00BBGGRR colour; the chosen colour in the same layout.
    virtual std::optional<uint32_t> chooseColour(uint32_t initial) = 0;
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) = 0;
    // Asks the desktop to open a document with its default program. The result is not examined.
    virtual void openDocument(const std::string& path) = 0;
};

}  // namespace vantrel
