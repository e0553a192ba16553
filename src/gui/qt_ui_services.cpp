#include "gui/qt_ui_services.h"

#include "gui/tinput.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace vantrel {

namespace {
QString q(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

void QtUiServices::message(const std::string& text) {
    QMessageBox::information(parent_, kMessageCaption, q(text), QMessageBox::Ok);
}

bool QtUiServices::askYesNo(const std::string& text) {
    return QMessageBox::question(parent_, kMessageCaption, q(text), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

YesNoCancel QtUiServices::askYesNoCancel(const std::string& text) {
    // Cancel is the default and the Esc answer: a stray key press never discards or writes anything.
    const auto r =
        QMessageBox::question(parent_, kMessageCaption, q(text),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel);
    if (r == QMessageBox::Yes) return YesNoCancel::Yes;
    if (r == QMessageBox::No) return YesNoCancel::No;
    return YesNoCancel::Cancel;
}

std::optional<std::string> QtUiServices::openFile(const std::string& title, const std::string& filter) {
    QString f = QFileDialog::getOpenFileName(parent_, q(title), QString(), q(filter));
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::optional<std::string> QtUiServices::saveFile(const std::string& title, const std::string& filter,
                                                  const std::string& suggestedName) {
    // The overwrite question is the caller's, with the program's own wording.
    QString f = QFileDialog::getSaveFileName(parent_, q(title), q(suggestedName), q(filter), nullptr,
                                             QFileDialog::DontConfirmOverwrite);
    if (f.isEmpty()) return std::nullopt;
    return f.toStdString();
}

std::optional<double> QtUiServices::keypad(double initial) {
    // The memory key's value lives as long as the process.
    static KeypadMemory memory;
    return Tinput::ask(initial, memory, parent_);
}

std::optional<uint32_t> QtUiServices::chooseColour(uint32_t initial) {
    QColor c(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
    QColor r = QColorDialog::getColor(c, parent_);
    if (!r.isValid()) return std::nullopt;
    return static_cast<uint32_t>(r.red()) | (static_cast<uint32_t>(r.green()) << 8) |
           (static_cast<uint32_t>(r.blue()) << 16);
}

std::optional<FontChoice> QtUiServices::chooseFont(const FontChoice& initial) {
    bool ok = false;
    QFont f(q(initial.family), initial.size);
    f.setBold(initial.bold);
    f.setItalic(initial.italic);
    QFont r = QFontDialog::getFont(&ok, f, parent_);
    if (!ok) return std::nullopt;
    return FontChoice{r.family().toStdString(), r.pointSize(), r.bold(), r.italic()};
}

void QtUiServices::openDocument(const std::string& path) {
    // Relative names resolve against the current directory; the result is not examined.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::current().absoluteFilePath(q(path))));
}

}  // namespace vantrel
