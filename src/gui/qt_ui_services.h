#pragma once
#include <QWidget>

#include "platform/ui_services.h"

namespace vantrel {

// Message boxes and standard dialogs with Qt. Plain messages carry the caption "VANTREL".
class QtUiServices final : public UiServices {
  public:
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    YesNoCancel askYesNoCancel(const std::string& text) override;
    std::optional<std::string> openFile(const std::string& title, const std::string& filter) override;
    std::optional<std::string> saveFile(const std::string& title, const std::string& filter,
                                        const std::string& suggestedName) override;
    std::optional<double> keypad(double initial) override;
    std::optional<uint32_t> chooseColour(uint32_t initial) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;
    void openDocument(const std::string& path) override;

  private:
    QWidget* parent_ = nullptr;
};

}  // namespace vantrel
