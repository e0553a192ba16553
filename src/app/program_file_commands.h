#pragma once
// The main window's program-file commands: loading and saving the program text, showing the editor
// window, the Edit menu and the shared font dialog. They work on the one line store that the editor
// shows and the interpreters read, and on the editor through ProgramEditorView, so they run the same
// with the Qt editor and without a display.
//
// Wiring (the owner of the store and of the editor window does this once):
//   TQuonStrings program;                               // lives as long as the main window
//   ProgramFileCommands files(controls, ui, program, editorView);
//   files.hooks.stockFit = [&] { ...stock fit command... };
//   files.hooks.programStrip = [&] { ...redraw the program strip... };
//   files.bindControls();
//   files.loadStartupParameter(args);                   // the first command-line parameter
#include <functional>
#include <string>
#include <vector>

#include "core/control_set.h"
#include "editor/edit_model.h"
#include "platform/ui_services.h"
#include "program/quon_strings.h"

namespace vantrel {

class Application;

inline constexpr const char* kMsgStockFitQuestion = "読み込んだデータに材料を合わせますか？";
inline constexpr const char* kCaptionStockFit = "材料フィット";
inline constexpr const char* kMsgOverwrite = "同名のファイルが存在します。上書きしますか？";
inline constexpr const char* kCaptionConfirm = "確認";
inline constexpr const char* kMsgClearAll = "全削除しますか?";
inline constexpr const char* kMsgBusyPlaying = "再生中はプログラムを読み込めません";
inline constexpr const char* kMsgSaveChanges = "プログラムが変更されています。保存しますか？";
inline constexpr const char* kOpenFilter = "テキスト (*)";
inline constexpr const char* kSaveFilter = "テキスト (*.txt)";

// The editor control as the commands see it.
class ProgramEditorView {
  public:
    virtual ~ProgramEditorView() = default;
    // The store was replaced or changed from outside: lay it out again from the top.
    virtual void refresh() = 0;
    virtual void cut() = 0;
    virtual void copy() = 0;
    virtual void paste() = 0;
    virtual void deleteSelection() = 0;
    virtual void selectAll() = 0;
    virtual void clearAll() = 0;  // without asking
    virtual bool readOnly() const = 0;
    virtual void showWindow() = 0;
    virtual FontChoice font() const = 0;
    virtual void setFont(const FontChoice& f) = 0;
};

// Yes/No questions that carry their own caption ("確認", "材料フィット"). The default asks through
// UiServices::askYesNo, whose boxes carry the application's caption.
class CaptionedQuestions {
  public:
    virtual ~CaptionedQuestions() = default;
    virtual bool ask(const std::string& text, const std::string& caption) = 0;
};

class UiServicesQuestions : public CaptionedQuestions {
  public:
    explicit UiServicesQuestions(UiServices& ui) : ui_(ui) {}
    bool ask(const std::string& text, const std::string&) override { return ui_.askYesNo(text); }

  private:
    UiServices& ui_;
};

// A ProgramEditorView over an EditModel with a clipboard of its own: for the headless runner and tests.
class HeadlessEditorView : public ProgramEditorView {
  public:
    explicit HeadlessEditorView(EditModel& model);
    void refresh() override { model_.refresh(true); }
    void cut() override { model_.cut(); }
    void copy() override { model_.copy(); }
    void paste() override { model_.paste(); }
    void deleteSelection() override { model_.deleteSelection(); }
    void selectAll() override { model_.selectAll(); }
    void clearAll() override { model_.clearAll(); }
    bool readOnly() const override { return model_.readOnly(); }
    void showWindow() override { ++shown; }
    FontChoice font() const override { return font_; }
    void setFont(const FontChoice& f) override { font_ = f; }

    std::string clipboard;
    int shown = 0;

  private:
    EditModel& model_;
    FontChoice font_{"ＭＳ ゴシック", 10, false, false};
};

struct ProgramFileHooks {
    std::function<void()> stockFit;        // Yes to the stock-fit question after a load
    std::function<void()> programStrip;    // redraw the program strip after a load
    std::function<void()> programCleared;  // "全削除": the program is no longer a loaded one
};

class ProgramFileCommands {
  public:
    ProgramFileCommands(ControlSet& controls, UiServices& ui, TQuonStrings& program, ProgramEditorView& view,
                        CaptionedQuestions* questions = nullptr);

    ProgramFileHooks hooks;

    // Binds N2, sb_textin, Save1, N79, N47, sb_henshu, Cut1, Copy1, Paste1, Delete1, N14, SelectAll1
    // and Font1.
    void bindControls();

    // "読み込み": file dialog, load, refresh, program strip, stock-fit question.
    void loadCommand();
    // Loads one file into the store. A failed load tells the user and leaves the program untouched.
    bool loadFile(const std::string& path);
    // The first command-line parameter (args without the program name); no questions asked.
    bool loadStartupParameter(const std::vector<std::string>& args);

    // "保存": file dialog (offering the file last read or saved), the ".txt" rule, the overwrite
    // question, then the save. Returns true when the program was written.
    bool saveCommand();
    // The ".txt" rule and the overwrite question for a chosen name; returns true when it was saved.
    bool saveAs(const std::string& chosen);

    // The text differs from what was last read from or saved to a file (from the empty program before
    // any file). Typing and undoing back to the same text is no edit; a play's warnings written into the
    // text are.
    bool programEdited() const { return program_.Text() != savedText_; }
    // The file the text was last read from or saved to; empty before any.
    const std::string& currentFile() const { return currentFile_; }
    // The unsaved-program guard, run before anything drops or replaces the text (closing the window,
    // "終了", reading another file). Nothing edited: true at once. Otherwise asks kMsgSaveChanges:
    // Yes runs "保存" and is true only when the program was written; No is true; Cancel is false, and
    // false means the caller keeps everything as it was.
    bool confirmDiscard();

    // "全削除" with its question.
    void clearAllCommand();
    // The font dialog shared by the main window and the editor window.
    void fontCommand();

  private:
    bool ask(const std::string& text, const std::string& caption);
    void markSaved(const std::string& path);

    ControlSet& cs_;
    UiServices& ui_;
    TQuonStrings& program_;
    ProgramEditorView& view_;
    UiServicesQuestions defaultQuestions_;
    CaptionedQuestions* questions_;
    std::string savedText_;  // the text as last read or saved
    std::string currentFile_;
};

// Closing the window and "終了" run the unsaved-program guard of `files` (after "終了しますか?").
// `files` must outlive the hook or the hook must be cleared first.
void guardCloseWithUnsavedProgram(Application& app, ProgramFileCommands& files);

}  // namespace vantrel
