#pragma once
// A UiServices for tests: every call is recorded in `log`, and answers are
// taken from the queues (an empty queue answers "No" / "Cancel" / "cancelled").
#include <deque>
#include <string>
#include <vector>

#include "platform/ui_services.h"

namespace vantrel {

class ScriptedUiServices : public UiServices {
  public:
    std::vector<std::string> log;  // "message:TEXT", "ask:TEXT", "open:TITLE", "keypad:VALUE" ...
    std::vector<std::string> messages;
    std::deque<bool> yesNoAnswers;
    std::deque<YesNoCancel> yesNoCancelAnswers;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<double>> keypadAnswers;
    std::deque<std::optional<uint32_t>> colourAnswers;
    std::deque<std::optional<FontChoice>> fontAnswers;
    std::vector<std::string> openedDocuments;
    std::vector<std::string> suggestedNames;  // the name each save dialog offered

    void message(const std::string& text) override {
        log.push_back("message:" + text);
        messages.push_back(text);
    }
    bool askYesNo(const std::string& text) override {
        log.push_back("ask:" + text);
        return pop(yesNoAnswers, false);
    }
    YesNoCancel askYesNoCancel(const std::string& text) override {
        log.push_back("ask3:" + text);
        return pop(yesNoCancelAnswers, YesNoCancel::Cancel);
    }
    std::optional<std::string> openFile(const std::string& title, const std::string&) override {
        log.push_back("open:" + title);
        return pop(fileAnswers, std::optional<std::string>{});
    }
    std::optional<std::string> saveFile(const std::string& title, const std::string&,
                                        const std::string& suggestedName) override {
        log.push_back("save:" + title);
        suggestedNames.push_back(suggestedName);
        return pop(fileAnswers, std::optional<std::string>{});
    }
    std::optional<double> keypad(double initial) override {
        log.push_back("keypad:" + std::to_string(initial));
        return pop(keypadAnswers, std::optional<double>{});
    }
    std::optional<uint32_t> chooseColour(uint32_t initial) override {
        log.push_back("colour:" + std::to_string(initial));
        return pop(colourAnswers, std::optional<uint32_t>{});
    }
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override {
        log.push_back("font:" + initial.family);
        return pop(fontAnswers, std::optional<FontChoice>{});
    }
    void openDocument(const std::string& path) override {
        log.push_back("openDocument:" + path);
        openedDocuments.push_back(path);
    }

  private:
    template <typename T>
    static T pop(std::deque<T>& q, T fallback) {
        if (q.empty()) return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

}  // namespace vantrel
