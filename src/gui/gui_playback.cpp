#include "gui/gui_playback.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "gui/main_window.h"

namespace vantrel {

void QtTextPainter::drawText(Image32& image, int x, int y, std::string_view text, uint32_t colour) {
    if (image.empty()) return;
    QImage view(reinterpret_cast<uchar*>(image.data()), image.width(), image.height(), image.bytesPerLine(),
                QImage::Format_RGB32);
    QPainter p(&view);
    QFont f = QApplication::font();
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(QColor::fromRgb(colour & 0xFFFFFF));
    p.drawText(x, y + p.fontMetrics().ascent(),
               QString::fromUtf8(text.data(), static_cast<int>(text.size())));
}

bool InputStateFilter::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            const bool down = e->type() == QEvent::KeyPress;
            if (k->key() == Qt::Key_Escape) input_.escape = down;
            if (k->key() == Qt::Key_Shift) input_.shift = down;
            if (k->key() == Qt::Key_Henkan) input_.conversionKey = down;
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() == Qt::RightButton) input_.rightButton = e->type() == QEvent::MouseButtonPress;
            break;
        }
        case QEvent::ApplicationDeactivate:
            // Keys released while another window has the focus never reach us.
            input_.clear();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, e);
}

void GuiPlaybackView::setEditorReadOnly(bool on) {
    mt_.invoke([this, on] {
        if (editorReadOnly) editorReadOnly(on);
    });
}
void GuiPlaybackView::setEditorCaption(const std::string& text) {
    cs_.setCaption("memoform", text);
}
void GuiPlaybackView::showListing() {
    mt_.invoke([this] { w_.updateListing(); });
}
GuiPlayback::GuiPlayback(Application& app, MainWindow& window, TQuonStrings& program)
    : app_(app), filter_(input_), view_(window, app.controls(), app.mainThread()) {
    qApp->installEventFilter(&filter_);
    PlaySessionParts parts;
    parts.controls = &app.controls();
    parts.mainThread = &app.mainThread();
    parts.input = &input_;
    parts.program = &program;
    parts.ui = &app.ui();
    parts.painter = &painter_;
    parts.listing = &window.listingImage();
    session_ = std::make_unique<PlaySession>(app.state(), parts);
    session_->view().setDrawing(&view_);
    session_->controller().bindCommands();
    app.registerWorker(&session_->controller());
}

GuiPlayback::~GuiPlayback() {
    app_.unregisterWorker(&session_->controller());
    qApp->removeEventFilter(&filter_);
}

}  // namespace vantrel
