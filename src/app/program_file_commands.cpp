#include "app/program_file_commands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "app/application.h"

namespace vantrel {

namespace {

bool fileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

bool endsWithTxt(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".txt";
}

}  // namespace

HeadlessEditorView::HeadlessEditorView(EditModel& model) : model_(model) {
    model_.setClipboard([this](const std::string& t) { clipboard = t; }, [this] { return clipboard; });
}

ProgramFileCommands::ProgramFileCommands(ControlSet& controls, UiServices& ui, TQuonStrings& program,
                                         ProgramEditorView& view, CaptionedQuestions* questions)
    : cs_(controls),
      ui_(ui),
      program_(program),
      view_(view),
      defaultQuestions_(ui),
      questions_(questions ? questions : &defaultQuestions_),
      savedText_(program.Text()) {}

bool ProgramFileCommands::ask(const std::string& text, const std::string& caption) {
    return questions_->ask(text, caption);
}

void ProgramFileCommands::bindControls() {
    auto load = [this](const Control&) { loadCommand(); };
    cs_.bind("N2", load);
    cs_.bind("sb_textin", load);
    cs_.bind("Save1", [this](const Control&) { saveCommand(); });
    auto show = [this](const Control&) { view_.showWindow(); };
    cs_.bind("N79", show);
    cs_.bind("N47", show);
    cs_.bind("sb_henshu", show);
    cs_.bind("Cut1", [this](const Control&) { view_.cut(); });
    cs_.bind("Copy1", [this](const Control&) { view_.copy(); });
    cs_.bind("Paste1", [this](const Control&) { view_.paste(); });
    cs_.bind("Delete1", [this](const Control&) { view_.deleteSelection(); });
    cs_.bind("N14", [this](const Control&) { clearAllCommand(); });
    cs_.bind("SelectAll1", [this](const Control&) { view_.selectAll(); });
    cs_.bind("Font1", [this](const Control&) { fontCommand(); });
}

void ProgramFileCommands::loadCommand() {
    if (view_.readOnly()) {
        ui_.message(kMsgBusyPlaying);
        return;
    }
    // Asked before the file dialog: whichever file is chosen, the edited text would be replaced.
    if (!confirmDiscard()) return;
    const auto path = ui_.openFile("読み込み", kOpenFilter);
    if (!path) return;
    if (!loadFile(*path)) return;
    if (hooks.programStrip) hooks.programStrip();
    if (ask(kMsgStockFitQuestion, kCaptionStockFit) && hooks.stockFit) hooks.stockFit();
}

bool ProgramFileCommands::loadFile(const std::string& path) {
    if (view_.readOnly()) {
        // A play reads the store line by line right now: replacing it would pull the text from under
        // the interpreter.
        ui_.message(kMsgBusyPlaying);
        return false;
    }
    // Read into a store of its own first: a missing or unreadable file leaves the program as it was.
    TQuonStrings fresh;
    std::string msg;
    if (!fresh.LoadFromFile(path, &msg)) {
        ui_.message(msg.empty() ? path : msg);
        return false;
    }
    program_.swap(fresh);
    view_.refresh();
    markSaved(path);
    return true;
}

bool ProgramFileCommands::loadStartupParameter(const std::vector<std::string>& args) {
    if (args.empty() || args.front().empty()) return false;
    return loadFile(args.front());
}

bool ProgramFileCommands::saveCommand() {
    const auto chosen = ui_.saveFile("保存", kSaveFilter, currentFile_);
    if (!chosen || chosen->empty()) return false;
    return saveAs(*chosen);
}

bool ProgramFileCommands::saveAs(const std::string& chosen) {
    std::string name = chosen;
    if (!fileExists(name) && !endsWithTxt(name)) name += ".txt";
    // The final name is tested, so that appending ".txt" never overwrites a file unasked.
    if (fileExists(name) && !ask(kMsgOverwrite, kCaptionConfirm)) return false;
    std::string msg;
    const bool ok = program_.SaveToFile(name, &msg);
    if (!msg.empty()) ui_.message(msg);  // a failure, or the switch from CP932 to UTF-8
    if (ok) markSaved(name);
    return ok;
}

void ProgramFileCommands::markSaved(const std::string& path) {
    savedText_ = program_.Text();
    currentFile_ = path;
}

bool ProgramFileCommands::confirmDiscard() {
    if (!programEdited()) return true;
    switch (ui_.askYesNoCancel(kMsgSaveChanges)) {
        case YesNoCancel::Yes:
            // A cancelled save dialog, a refused overwrite or a failed write keeps the text and the
            // window as they are: nothing is dropped that was not written.
            return saveCommand();
        case YesNoCancel::No:
            return true;
        case YesNoCancel::Cancel:
            break;
    }
    return false;
}

void ProgramFileCommands::clearAllCommand() {
    if (view_.readOnly()) return;
    if (!ask(kMsgClearAll, kCaptionConfirm)) return;
    view_.clearAll();
    if (hooks.programCleared) hooks.programCleared();
}

void ProgramFileCommands::fontCommand() {
    const auto f = ui_.chooseFont(view_.font());
    if (f) view_.setFont(*f);
}

void guardCloseWithUnsavedProgram(Application& app, ProgramFileCommands& files) {
    app.hooks.confirmDiscardProgram = [&files] { return files.confirmDiscard(); };
}

}  // namespace vantrel
