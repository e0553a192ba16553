#include "gui/tinput.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace vantrel {

Tinput::Tinput(double initial, KeypadMemory& memory, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      pad_(initial, memory) {
    setWindowTitle("数値入力");
    setFixedSize(154, 195);
    text_ = new QLabel(this);
    text_->setGeometry(4, 4, 146, 30);
    text_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text_->setAutoFillBackground(true);
    QPalette pal = text_->palette();
    pal.setColor(QPalette::Window, Qt::white);
    text_->setPalette(pal);
    QFont f = text_->font();
    f.setPixelSize(24);
    text_->setFont(f);

    // Keys on a 40-pixel pitch: 7 8 9 / 4 5 6 / 1 2 3 / 0 . -
    const char* rows[4][3] = {{"7", "8", "9"}, {"4", "5", "6"}, {"1", "2", "3"}, {"0", ".", "-"}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            auto* b = new QPushButton(rows[r][c], this);
            b->setGeometry(4 + c * 40, 38 + r * 40, 33, 33);
            b->setFocusPolicy(Qt::NoFocus);
            const char ch = rows[r][c][0];
            connect(b, &QPushButton::clicked, this, [this, ch] {
                if (ch == '.')
                    pad_.point();
                else if (ch == '-')
                    pad_.minus();
                else
                    pad_.digit(ch - '0');
                refresh();
            });
        }
    }
    auto side = [this](const char* caption, int row) {
        auto* b = new QPushButton(caption, this);
        b->setGeometry(124, 38 + row * 40, 28, 33);
        b->setFocusPolicy(Qt::NoFocus);
        QFont sf = b->font();
        sf.setPixelSize(9);
        b->setFont(sf);
        return b;
    };
    connect(side("消去", 0), &QPushButton::clicked, this, [this] {
        pad_.clear();
        refresh();
    });
    hozon_ = new QToolButton(this);
    hozon_->setText("保存");
    hozon_->setCheckable(true);
    hozon_->setGeometry(124, 78, 28, 33);
    hozon_->setFocusPolicy(Qt::NoFocus);
    connect(hozon_, &QToolButton::clicked, this, [this] {
        pad_.memoryKey();
        refresh();
    });
    connect(side("無効", 2), &QPushButton::clicked, this, [this] { reject(); });
    connect(side("設定", 3), &QPushButton::clicked, this, [this] {
        pad_.set();
        accept();
    });
    refresh();
}

void Tinput::refresh() {
    text_->setText(QString::fromStdString(pad_.display()));
    hozon_->setChecked(pad_.memoryPressed());
}

void Tinput::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        pad_.set();
        accept();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        reject();
        return;
    }
    char32_t ch = 0;
    if (e->key() == Qt::Key_Backspace)
        ch = 8;
    else if (e->key() == Qt::Key_Delete)
        ch = 127;
    else if (!e->text().isEmpty())
        ch = e->text().at(0).unicode();
    if (ch != 0 && pad_.key(ch)) refresh();
}

void Tinput::reject() {
    pad_.cancel();
    QDialog::reject();
}

std::optional<double> Tinput::ask(double initial, KeypadMemory& memory, QWidget* parent) {
    Tinput dlg(initial, memory, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.keypad().value();
}

}  // namespace vantrel
