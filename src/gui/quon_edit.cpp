#include "gui/quon_edit.h"

#include <QAction>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <new>

#include "editor/char_class.h"
#include "platform/ui_services.h"

namespace vantrel {

namespace {

QFont defaultEditorFont() {
    const QStringList families = QFontDatabase::families();
    for (const char* family :
         {"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "Noto Sans Mono CJK JP", "DejaVu Sans Mono"}) {
        if (families.contains(QString::fromUtf8(family))) {
            QFont f(QString::fromUtf8(family));
            f.setPixelSize(13);
            return f;
        }
    }
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(13);
    return f;
}

EditKey mapKey(int key) {
    switch (key) {
        case Qt::Key_Backspace:
            return EditKey::Backspace;
        case Qt::Key_Home:
            return EditKey::Home;
        case Qt::Key_End:
            return EditKey::End;
        case Qt::Key_Left:
            return EditKey::Left;
        case Qt::Key_Right:
            return EditKey::Right;
        case Qt::Key_Up:
            return EditKey::Up;
        case Qt::Key_Down:
            return EditKey::Down;
        case Qt::Key_PageUp:
            return EditKey::PageUp;
        case Qt::Key_PageDown:
            return EditKey::PageDown;
        case Qt::Key_Insert:
            return EditKey::Insert;
        case Qt::Key_Delete:
            return EditKey::Delete;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return EditKey::Enter;
        case Qt::Key_Tab:
            return EditKey::Tab;
        case Qt::Key_Escape:
            return EditKey::Escape;
        case Qt::Key_C:
            return EditKey::C;
        case Qt::Key_X:
            return EditKey::X;
        case Qt::Key_V:
            return EditKey::V;
        case Qt::Key_A:
            return EditKey::A;
        case Qt::Key_Z:
            return EditKey::Z;
        case Qt::Key_Y:
            return EditKey::Y;
        case Qt::Key_Comma:
            return EditKey::Comma;
        case Qt::Key_Period:
            return EditKey::Period;
        default:
            return EditKey::Other;
    }
}

// Byte ranges of link-like words of a line: from a scheme up to a space, "|", tab, double quote, ">"
// or a full-width space.
std::vector<std::pair<std::size_t, std::size_t>> urlRanges(std::string_view t) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    if (t.find(':') == std::string_view::npos) return out;
    static const std::string_view schemes[] = {"http://", "https:/", "mailto:", "mail:", "tag:"};
    std::size_t i = 0;
    while (i < t.size()) {
        std::size_t best = std::string_view::npos;
        for (auto s : schemes) best = std::min(best, t.find(s, i));
        if (best == std::string_view::npos) break;
        std::size_t end = best;
        while (end < t.size()) {
            const char c = t[end];
            if (c == ' ' || c == '|' || c == '\t' || c == '"' || c == '>') break;
            if (t.compare(end, 3, "\u3000") == 0) break;
            ++end;
        }
        out.emplace_back(best, end);
        i = std::max(end, best + 1);
    }
    return out;
}

}  // namespace

TQuonEdit::TQuonEdit(TQuonStrings& store, QWidget* parent) : QAbstractScrollArea(parent), model_(store) {
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    font_ = defaultEditorFont();
    model_.setClipboard(
        [this](const std::string& text) {
            QClipboard* cb = QGuiApplication::clipboard();
            if (!cb) {
                if (showError)
                    showError(kErrClipboard);
                else
                    QMessageBox::warning(this, kMessageCaption, QString::fromUtf8(kErrClipboard));
                return;
            }
            cb->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        },
        [] {
            QClipboard* cb = QGuiApplication::clipboard();
            return cb ? cb->text().toStdString() : std::string();
        });
    model_.onModified = [this] { emit modified(); };
    model_.onSelectionChanged = [this] { emit selectionChanged(); };
    model_.onInsertModeChanged = [this] { emit insertModeChanged(); };
    model_.onRedoModeChanged = [this] { emit redoModeChanged(); };
    model_.onError = [this](const std::string& msg) {
        if (showError)
            showError(msg);
        else
            QMessageBox::warning(this, kMessageCaption, QString::fromStdString(msg));
    };
    dragTimer_.setInterval(40);
    connect(&dragTimer_, &QTimer::timeout, this, [this] { dragStep(); });
    buildPopup();
    updateMetrics();
}

TQuonEdit::~TQuonEdit() = default;

void TQuonEdit::buildPopup() {
    popup_ = new QMenu(this);
    popup_->addAction(QString::fromUtf8("切り取り"), this, [this] { cut(); });
    popup_->addAction(QString::fromUtf8("コピー"), this, [this] { copy(); });
    popup_->addAction(QString::fromUtf8("貼り付け"), this, [this] { paste(); });
    popup_->addAction(QString::fromUtf8("削除"), this, [this] { deleteSelection(); });
    popup_->addAction(QString::fromUtf8("全削除"), this, [this] {
        if (readOnly()) return;
        const std::string text = "全削除しますか?", caption = "確認";
        const bool yes =
            askYesNo ? askYesNo(text, caption)
                     : QMessageBox::question(this, QString::fromStdString(caption),
                                             QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                             QMessageBox::No) == QMessageBox::Yes;
        if (!yes) return;
        clearAll();
        if (programCleared) programCleared();
    });
    popup_->addAction(QString::fromUtf8("すべて選択"), this, [this] { selectAll(); });
    popup_->addAction(QString::fromUtf8("フォント"), this, [this] {
        if (fontDialog) {
            fontDialog();
            return;
        }
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, font_, this);
        if (ok) setEditorFont(f);
    });
    lineNumberAction_ = popup_->addAction(QString::fromUtf8("行番号表示"));
    lineNumberAction_->setCheckable(true);
    connect(lineNumberAction_, &QAction::toggled, this, [this](bool on) { setShowLineNumber(on); });
}

// ---------------------------------------------------------------- geometry

void TQuonEdit::updateMetrics() {
    const QFontMetrics fm(font_);
    charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    fixedPitch_ = fm.horizontalAdvance(QLatin1Char('i')) == charWidth_ &&
                  fm.horizontalAdvance(QLatin1Char('0')) == charWidth_ &&
                  fm.horizontalAdvance(QLatin1Char('W')) == charWidth_;
    rowHeight_ = std::max(1, fm.height() + LineSpace);
    ascent_ = fm.ascent();
    model_.setPageRows(visibleRows());
    syncScrollBars();
    viewport()->update();
}

int TQuonEdit::visibleRows() const {
    return std::max(1, (viewport()->height() - TopMargin) / rowHeight_);
}

int TQuonEdit::gutterWidth() const {
    if (!showLineNumber_) return 0;
    int digits = 1;
    for (int32_t n = lines().count(); n >= 10; n /= 10) ++digits;
    return (digits + 1) * charWidth_;
}

int TQuonEdit::textLeft() const {
    return LeftMargin + gutterWidth() - horizontalScrollBar()->value();
}

void TQuonEdit::syncScrollBars() {
    syncing_ = true;
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, model_.rowCount() - 1));
    v->setPageStep(visibleRows());
    v->setSingleStep(std::max(1, ScrollStep));
    v->setValue(model_.topRow());
    QScrollBar* h = horizontalScrollBar();
    const int content = LeftMargin + gutterWidth() + (model_.column() + 6) * charWidth_;
    h->setRange(0, std::max(0, content - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(charWidth_);
    syncing_ = false;
}

void TQuonEdit::scrollContentsBy(int, int) {
    if (!syncing_) model_.setTopRow(verticalScrollBar()->value());
    viewport()->update();
}

void TQuonEdit::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    model_.setPageRows(visibleRows());
    syncScrollBars();
}

void TQuonEdit::ensureCaretVisibleHorizontally() {
    QScrollBar* h = horizontalScrollBar();
    const QRect c = caretRect();
    const int leftEdge = LeftMargin + gutterWidth();
    if (c.x() < leftEdge)
        h->setValue(h->value() - (leftEdge - c.x()) - 4 * charWidth_);
    else if (c.right() > viewport()->width() - charWidth_)
        h->setValue(h->value() + c.right() - viewport()->width() + 4 * charWidth_);
}

void TQuonEdit::afterChange() {
    syncScrollBars();
    viewport()->update();
    if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

QRect TQuonEdit::caretRect() const {
    const TextPos c = model_.caret();
    const int32_t row = model_.rowOf(c);
    const int x = textLeft() + model_.columnOf(c) * charWidth_;
    const int y = TopMargin + (row - model_.topRow()) * rowHeight_;
    const int w = model_.overwrite() ? charWidth_ : 2;
    return QRect(x, y, w, rowHeight_);
}

TextPos TQuonEdit::posAtPoint(const QPoint& pt) const {
    const int dy = pt.y() - TopMargin;
    const int32_t row = std::clamp<int32_t>(model_.topRow() + (dy < 0 ? -1 : dy / rowHeight_), 0,
                                            std::max(0, model_.rowCount() - 1));
    const int dx = pt.x() - textLeft();
    const int col = dx <= 0 ? 0 : (dx + charWidth_ / 2) / charWidth_;
    return model_.posAt(row, col);
}

// ---------------------------------------------------------------- commands

void TQuonEdit::setShowLineNumber(bool on) {
    showLineNumber_ = on;
    if (lineNumberAction_ && lineNumberAction_->isChecked() != on) lineNumberAction_->setChecked(on);
    syncScrollBars();
    viewport()->update();
}

void TQuonEdit::setReadOnly(bool on) {
    model_.setReadOnly(on);
    if (on) preedit_.clear();
    afterChange();
}

void TQuonEdit::setEditorFont(const QFont& f) {
    font_ = f;
    updateMetrics();
}

void TQuonEdit::refresh(bool newText) {
    model_.refresh(newText);
    preedit_.clear();
    afterChange();
}

void TQuonEdit::cut() {
    model_.cut();
    afterChange();
}
void TQuonEdit::copy() {
    model_.copy();
}
void TQuonEdit::paste() {
    model_.paste();
    model_.ensureCaretVisible();
    afterChange();
}
void TQuonEdit::deleteSelection() {
    model_.deleteSelection();
    afterChange();
}
void TQuonEdit::selectAll() {
    model_.selectAll();
    afterChange();
}
void TQuonEdit::clearAll() {
    model_.clearAll();
    model_.ensureCaretVisible();
    afterChange();
}

// ---------------------------------------------------------------- painting

void TQuonEdit::paintEvent(QPaintEvent*) {
    try {
        paintAll();
    } catch (const std::bad_alloc&) {
        // Never a message box inside a paint: report it once the paint is over.
        QTimer::singleShot(0, this, [this] { model_.onError(kErrRepaint); });
    }
}

void TQuonEdit::paintAll() {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Color);
    p.setFont(font_);
    const int32_t first = model_.topRow();
    const int32_t rows = model_.rowCount();
    const int n = visibleRows() + 1;
    for (int i = 0; i < n && first + i < rows; ++i) paintRow(p, first + i, TopMargin + i * rowHeight_);

    const QRect caret = caretRect();
    if (!preedit_.isEmpty()) {
        // The composition at the caret, underlined, over whatever follows it.
        const QFontMetrics fm(font_);
        QFont uf = font_;
        uf.setUnderline(true);
        const int w = fm.horizontalAdvance(preedit_);
        p.fillRect(QRect(caret.x(), caret.y(), w + 2, rowHeight_), Color);
        p.setFont(uf);
        p.setPen(FontColor);
        p.drawText(caret.x(), caret.y() + ascent_, preedit_);
        p.setFont(font_);
        const int cx = caret.x() + fm.horizontalAdvance(preedit_.left(preeditCursor_));
        p.fillRect(QRect(cx, caret.y(), 2, rowHeight_), FontColor);
    } else if (hasFocus()) {
        p.fillRect(caret, model_.overwrite() ? QColor(0, 0, 0, 96) : FontColor);
    }
}

void TQuonEdit::paintRow(QPainter& p, int32_t r, int y) {
    const RowSpan s = model_.row(r);
    const TQuonStrings& st = lines();
    const std::string_view t = st.lineText(s.line);
    const int baseline = y + ascent_;
    const int left = textLeft();
    const int cw = charWidth_;

    if (showLineNumber_ && s.begin == 0) {
        p.setPen(CREOFcolor);
        const QString num = QString::number(s.line + 1);
        p.drawText(QRect(LeftMargin - horizontalScrollBar()->value(), y, gutterWidth() - cw, rowHeight_),
                   Qt::AlignRight | Qt::AlignVCenter, num);
    }

    const QColor base = (!Inyostr.empty() && t.substr(0, Inyostr.size()) == Inyostr) ? InyoColor : FontColor;
    const auto urls = urlRanges(t);
    auto isUrl = [&](std::size_t i) {
        for (const auto& u : urls)
            if (i >= u.first && i < u.second) return true;
        return false;
    };
    // Selected bytes of this row.
    std::size_t selA = 0, selB = 0;
    bool breakSelected = false;
    if (model_.hasSelection()) {
        const TextPos a = model_.selectionStart(), b = model_.selectionEnd();
        if (s.line >= a.line && s.line <= b.line) {
            selA = s.line == a.line ? static_cast<std::size_t>(a.col) : 0;
            selB = s.line == b.line ? static_cast<std::size_t>(b.col) : t.size();
            breakSelected = s.line < b.line;
        }
    }

    QString run;
    int runCol = 0, runCols = 0;
    QColor runColor;
    bool runSel = false;
    auto flush = [&] {
        if (runCols == 0) return;
        const QRect cell(left + runCol * cw, y, runCols * cw, rowHeight_);
        if (runSel) p.fillRect(cell, SelColor);
        if (!run.isEmpty()) {
            p.setPen(runSel ? Color : runColor);
            p.drawText(left + runCol * cw, baseline, run);
        }
        run.clear();
        runCols = 0;
    };
    int col = 0;
    for (std::size_t i = static_cast<std::size_t>(s.begin); i < static_cast<std::size_t>(s.end);) {
        std::size_t len = 0;
        const char32_t c = decodeUtf8At(t, i, &len);
        const bool sel = i >= selA && i < selB;
        const QColor colr = isUrl(i) ? URLColor : base;
        const bool tab = c == '\t';
        const int w = tab ? model_.tabCount() - col % model_.tabCount() : charColumns(c);
        const bool single = !tab && w == 1 && fixedPitch_ && c < 0x10FF00;
        if (!single || sel != runSel || colr != runColor || runCols == 0) {
            flush();
            runCol = col;
            runSel = sel;
            runColor = colr;
        }
        if (!tab) {
            if (c >= 0x10FF00)
                run += QChar(0xFFFD);  // a byte that is no character of the encoding
            else
                run += QString::fromUtf8(t.data() + i, static_cast<qsizetype>(len));
        }
        runCols += w;
        if (!single) flush();
        col += w;
        i += len;
    }
    flush();

    if (!s.lastOfLine) return;
    const int x = left + col * cw;
    const std::string& full = st.Get(s.line);
    const bool hasBreak = full.size() >= 2 && full[full.size() - 2] == '\r';
    if (breakSelected) p.fillRect(QRect(x, y, cw, rowHeight_), SelColor);
    if (ShowCR && hasBreak) {
        // A small return arrow: down from the top, then left to the arrow head.
        p.setPen(breakSelected ? Color : CREOFcolor);
        const int x1 = x + cw - 2, x0 = x + 1, ym = y + rowHeight_ * 2 / 3;
        p.drawLine(x1, y + rowHeight_ / 4, x1, ym);
        p.drawLine(x1, ym, x0, ym);
        p.drawLine(x0, ym, x0 + 3, ym - 3);
        p.drawLine(x0, ym, x0 + 3, ym + 3);
    }
    if (ShowEOF && s.line == st.count() - 1) {
        p.setPen(CREOFcolor);
        p.drawText(x + (hasBreak ? cw : 0), baseline, QStringLiteral("[EOF]"));
    }
}

// ---------------------------------------------------------------- keyboard and input method

void TQuonEdit::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Henkan) {
        // Reconversion: the input method reads the selection through inputMethodQuery.
        if (!readOnly() && model_.hasSelection()) {
            emit reconversionRequested(QString::fromStdString(model_.selectedText()));
            QGuiApplication::inputMethod()->update(Qt::ImQueryAll);
        }
        e->accept();
        return;
    }
    KeyMods mods;
    mods.ctrl = e->modifiers().testFlag(Qt::ControlModifier);
    mods.shift = e->modifiers().testFlag(Qt::ShiftModifier);
    bool handled = model_.keyPress(mapKey(e->key()), mods);
    if (!handled && !mods.ctrl && !e->modifiers().testFlag(Qt::AltModifier)) {
        const QString text = e->text();
        if (!text.isEmpty() && text.at(0).isPrint()) {
            model_.typeText(text.toStdString());
            model_.ensureCaretVisible();
            handled = true;
        }
    }
    if (handled) {
        e->accept();
        afterChange();
        ensureCaretVisibleHorizontally();
    } else {
        QAbstractScrollArea::keyPressEvent(e);
    }
}

void TQuonEdit::inputMethodEvent(QInputMethodEvent* e) {
    if (readOnly()) {
        preedit_.clear();
        e->accept();
        viewport()->update();
        return;
    }
    if (e->replacementLength() != 0 || e->replacementStart() != 0) {
        // The input method replaces text around the caret (reconversion): select it first.
        const TextPos c = model_.caret();
        const QString line = QString::fromUtf8(lines().lineText(c.line));
        const qsizetype caretIdx =
            QString::fromUtf8(lines().lineText(c.line).substr(0, static_cast<std::size_t>(c.col))).size();
        const qsizetype from = std::clamp<qsizetype>(caretIdx + e->replacementStart(), 0, line.size());
        const qsizetype to = std::clamp<qsizetype>(from + e->replacementLength(), from, line.size());
        const int32_t a = static_cast<int32_t>(line.left(from).toUtf8().size());
        const int32_t b = static_cast<int32_t>(line.left(to).toUtf8().size());
        model_.select({c.line, a}, {c.line, b});
        if (e->commitString().isEmpty() && a != b) model_.deleteSelection();
    }
    if (!e->commitString().isEmpty()) model_.typeText(e->commitString().toStdString());
    preedit_ = e->preeditString();
    preeditCursor_ = static_cast<int>(preedit_.size());
    for (const auto& a : e->attributes())
        if (a.type == QInputMethodEvent::Cursor)
            preeditCursor_ = std::clamp(a.start, 0, static_cast<int>(preedit_.size()));
    model_.ensureCaretVisible();
    e->accept();
    afterChange();
    ensureCaretVisibleHorizontally();
}

QVariant TQuonEdit::inputMethodQuery(Qt::InputMethodQuery q) const {
    const TextPos c = model_.caret();
    const std::string_view line = lines().lineText(c.line);
    auto u16 = [&](int32_t col) {
        return static_cast<int>(QString::fromUtf8(line.substr(0, static_cast<std::size_t>(col))).size());
    };
    switch (q) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return caretRect().translated(viewport()->pos());
        case Qt::ImFont:
            return font_;
        case Qt::ImCursorPosition:
            return u16(c.col);
        case Qt::ImAnchorPosition: {
            const TextPos a = model_.anchor();
            return a.line == c.line ? u16(a.col) : u16(c.col);
        }
        case Qt::ImSurroundingText:
            return QString::fromUtf8(line);
        case Qt::ImCurrentSelection:
            return model_.anchor().line == c.line ? QString::fromStdString(model_.selectedText()) : QString();
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhMultiLine);
        case Qt::ImReadOnly:
            return readOnly();
        default:
            return QAbstractScrollArea::inputMethodQuery(q);
    }
}

void TQuonEdit::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void TQuonEdit::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}

// ---------------------------------------------------------------- mouse

void TQuonEdit::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    setFocus();
    model_.setCaret(posAtPoint(e->position().toPoint()), e->modifiers().testFlag(Qt::ShiftModifier));
    dragging_ = true;
    dragPoint_ = e->position().toPoint();
    afterChange();
}

void TQuonEdit::mouseMoveEvent(QMouseEvent* e) {
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
    dragPoint_ = e->position().toPoint();
    const QRect area = viewport()->rect();
    if (area.contains(dragPoint_)) {
        dragTimer_.stop();
        model_.setCaret(posAtPoint(dragPoint_), true);
        afterChange();
    } else if (!dragTimer_.isActive()) {
        dragTimer_.start();
    }
}

void TQuonEdit::dragStep() {
    if (!dragging_) {
        dragTimer_.stop();
        return;
    }
    const QRect area = viewport()->rect();
    const KeyMods extend{false, true};
    if (dragPoint_.y() < area.top())
        model_.keyPress(EditKey::Up, extend);
    else if (dragPoint_.y() > area.bottom())
        model_.keyPress(EditKey::Down, extend);
    else if (dragPoint_.x() < area.left())
        model_.keyPress(EditKey::Left, extend);
    else if (dragPoint_.x() > area.right())
        model_.keyPress(EditKey::Right, extend);
    else
        dragTimer_.stop();
    afterChange();
}

void TQuonEdit::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    dragTimer_.stop();
}

void TQuonEdit::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const TextPos p = posAtPoint(e->position().toPoint());
    const TextPos end = model_.wordRight(p);
    TextPos start = p;
    if (end.line == p.line) {
        const TextPos back = model_.wordLeft(end);
        if (back.line == p.line && back.col <= p.col) start = back;
    }
    model_.select(start, end.line == p.line ? end : p);
    afterChange();
}

void TQuonEdit::contextMenuEvent(QContextMenuEvent* e) {
    popup_->exec(e->globalPos());
}

}  // namespace vantrel
