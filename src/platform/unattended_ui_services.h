#pragma once
// A UiServices for work that runs with nobody at the screen (the headless runner, reading a settings
// file for it): questions are answered No / Cancel, dialogs are cancelled, and the messages a command
// shows are kept so that the caller can pass them on in its own words.
#include <string>
#include <vector>

#include "platform/ui_services.h"

namespace vantrel {

class UnattendedUiServices : public UiServices {
  public:
    std::vector<std::string> messages;

    void message(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string&) override { return false; }
    YesNoCancel askYesNoCancel(const std::string&) override { return YesNoCancel::Cancel; }
    std::optional<std::string> openFile(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> saveFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::optional<double> keypad(double) override { return {}; }
    std::optional<uint32_t> chooseColour(uint32_t) override { return {}; }
    std::optional<FontChoice> chooseFont(const FontChoice&) override { return {}; }
    void openDocument(const std::string&) override {}
};

}  // namespace vantrel
