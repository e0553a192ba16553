#pragma once
// TQuonEdit: the program editor control. It draws the one line store (no second copy of the text)
// through EditModel, which owns the caret, the selection, the wrapped layout, undo and the keyboard
// map; this class adds painting, scroll bars, the mouse, the input method, the clipboard and the popup
// menu.
#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QTimer>
#include <functional>
#include <string>

#include "editor/edit_model.h"
#include "program/quon_strings.h"

class QMenu;

namespace vantrel {

class TQuonEdit : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr const char* kVersion = "TQuonEdit Ver1.18";

    explicit TQuonEdit(TQuonStrings& store, QWidget* parent = nullptr);
    ~TQuonEdit() override;

    EditModel& model() { return model_; }
    TQuonStrings& lines() { return model_.store(); }
    const TQuonStrings& lines() const { return model_.store(); }

    // Settings as the editor window sets them.
    int TopMargin = 4, LeftMargin = 4;
    int ScrollStep = 2;
    int LineSpace = 0;
    bool ShowCR = true, ShowEOF = true;
    std::string Inyostr = "(";
    QColor Color = Qt::white, SelColor = Qt::black, CREOFcolor = QColor(0, 128, 128), URLColor = Qt::blue,
           InyoColor = Qt::gray, FontColor = Qt::black;

    bool showLineNumber() const { return showLineNumber_; }
    void setShowLineNumber(bool on);
    bool readOnly() const { return model_.readOnly(); }
    void setReadOnly(bool on);
    void setEditorFont(const QFont& f);
    QFont editorFont() const { return font_; }

    // The store was changed from outside (load, clear, received text, warnings).
    void refresh(bool newText = true);
    void cut();
    void copy();
    void paste();
    void deleteSelection();
    void selectAll();
    void clearAll();  // without asking

    // The popup's "全削除" question and its "フォント" item. Unset: a Qt question box / QFontDialog.
    std::function<bool(const std::string& text, const std::string& caption)> askYesNo;
    std::function<void()> fontDialog;
    std::function<void()> programCleared;  // after "全削除" cleared the text
    std::function<void(const std::string&)> showError;

    // The popup menu (built once; its actions keep the texts the user sees).
    QMenu* popupMenu() const { return popup_; }
    // The preedit text the input method is composing (shown at the caret).
    QString preeditText() const { return preedit_; }
    // Screen geometry used by tests and the input method.
    QRect caretRect() const;
    int rowHeight() const { return rowHeight_; }
    int charWidth() const { return charWidth_; }
    int visibleRows() const;
    // Where a point of the viewport falls in the text.
    TextPos posAtPoint(const QPoint& p) const;

  signals:
    void selectionChanged();
    void modified();
    void insertModeChanged();
    void redoModeChanged();
    void reconversionRequested(const QString& selection);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    // Tab inserts a tab instead of moving the focus.
    bool focusNextPrevChild(bool) override { return false; }

  public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

  private:
    void buildPopup();
    void updateMetrics();
    void syncScrollBars();
    void afterChange();
    int gutterWidth() const;
    int textLeft() const;
    void dragStep();
    void paintAll();
    void paintRow(QPainter& p, int32_t row, int y);
    void ensureCaretVisibleHorizontally();

    EditModel model_;
    QFont font_;
    int charWidth_ = 8, rowHeight_ = 14, ascent_ = 11;
    bool fixedPitch_ = true;
    bool showLineNumber_ = false;
    bool syncing_ = false;
    QString preedit_;
    int preeditCursor_ = 0;
    QMenu* popup_ = nullptr;
    QAction* lineNumberAction_ = nullptr;
    QTimer dragTimer_;
    QPoint dragPoint_;
    bool dragging_ = false;
};

}  // namespace vantrel
