#include "app/gui/main_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "form/design.h"
#include "app/gui/caption_button.h"
#include "app/gui/error_report.h"
#include "app/gui/picture_view.h"
#include "app/gui/window_font.h"

namespace idr {

namespace {

QString qstr(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QRect to_qrect(const Rect& r) { return QRect(r.left, r.top, r.width, r.height); }

// What a screen reader announces for the controls whose text does not say
// what they are. Buttons are announced by their visible words, the label by
// its Thai text (name left null), with an English description.
struct SpokenName {
    std::string_view control;
    const char* name;
    const char* description;
};
constexpr SpokenName kSpokenNames[] = {
    {"picRedraw", "Answer sheet picture", "The scanned identification block with the cell markers over it"},
    {"Student_ID", "Student ID", "The digits read from the marked cells are appended here"},
    {"txtTreshold", "Binarization threshold", "Brightness up to which 1. Binary makes a pixel black"},
    {"txtBlack_Pixels", "Black samples threshold",
     "3. Check object marks a cell with more black samples than this"},
    {"Label1", nullptr, "Identification number read: the heading of the Student ID box"},
};

void name_for_screen_readers(QWidget* widget, std::string_view control) {
    for (const SpokenName& spoken : kSpokenNames) {
        if (spoken.control == control) {
            if (spoken.name != nullptr) widget->setAccessibleName(QString::fromUtf8(spoken.name));
            widget->setAccessibleDescription(QString::fromUtf8(spoken.description));
        }
    }
}

}  // namespace

MainWindow::MainWindow(Form1& form, QWidget* parent) : QWidget(parent), form_(form) {
    const WindowDesign& design = window_design();
    setObjectName(qstr(design.name));
    setFont(window_font());
    // The client area at its design place and size. The frame stays sizable;
    // no layout is installed, so resizing moves and resizes no control.
    setGeometry(to_qrect(design.client_pixels));
    setWindowTitle(QString::fromStdString(form_.Caption()));

    build_controls();
    set_tab_order();
    picture_->setFocus(Qt::OtherFocusReason);

    form_.on_caption_changed = [this](const std::string& caption) { on_caption_changed(caption); };
}

MainWindow::~MainWindow() { form_.on_caption_changed = nullptr; }

void MainWindow::build_controls() {
    const std::string_view window_name = window_design().name;
    for (const ControlDesign& design : control_designs()) {
        // The cell markers live in the model and are drawn by the picture.
        if (design.container != window_name) continue;
        const std::string name(design.name);
        QWidget* widget = nullptr;
        switch (design.kind) {
            case ControlKind::Button: {
                const ButtonId id = *design.button;  // every button row has one
                auto* button = new CaptionButton(QString::fromStdString(button_of(form_, id).Caption), this);
                button->setAccessibleName(button->text().trimmed());
                connect(button, &QPushButton::clicked, this, [this, id] { on_click(id); });
                buttons_[static_cast<std::size_t>(id)] = button;
                widget = button;
                break;
            }
            case ControlKind::TextBox: {
                TextBox* box = form_.text_box(name);
                if (box == nullptr) continue;
                auto* edit = new QLineEdit(QString::fromStdString(box->Text), this);
                // The model's texts have no length limit; QLineEdit's default
                // of 32767 characters would cut "4. Check ID"'s appends.
                edit->setMaxLength(std::numeric_limits<int>::max());
                text_boxes_[name] = edit;
                widget = edit;
                break;
            }
            case ControlKind::PictureBox:
                picture_ = new PictureView(form_.picRedraw, form_.Shape1, this);
                widget = picture_;
                break;
            case ControlKind::Label:
                label_ = new QLabel(QString::fromStdString(form_.Label1.Caption), this);
                label_->setTextFormat(Qt::PlainText);
                // Thai stacks vowels and tone marks above the consonants and
                // this text has nothing below its baseline: sitting low in
                // the 17-pixel label keeps the top marks clear of its edge.
                label_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
                widget = label_;
                break;
            case ControlKind::Shape:
                continue;
        }
        widget->setObjectName(qstr(design.name));
        widget->setGeometry(to_qrect(design.pixels));
        name_for_screen_readers(widget, design.name);
    }
}

void MainWindow::set_tab_order() {
    std::vector<std::pair<int, QWidget*>> order;
    for (const ControlDesign& design : control_designs()) {
        if (!design.tab_index) continue;
        auto* widget = findChild<QWidget*>(qstr(design.name), Qt::FindDirectChildrenOnly);
        if (widget != nullptr && widget->focusPolicy() != Qt::NoFocus) order.emplace_back(*design.tab_index, widget);
    }
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1].second, order[i].second);
}

CaptionButton* MainWindow::button(ButtonId id) const { return buttons_[static_cast<std::size_t>(id)]; }

QLineEdit* MainWindow::text_box(const std::string& name) const {
    const auto it = text_boxes_.find(name);
    return it == text_boxes_.end() ? nullptr : it->second;
}

void MainWindow::show_model() {
    const QString caption = QString::fromStdString(form_.Caption());
    if (windowTitle() != caption) setWindowTitle(caption);
    for (ButtonId id : kAllButtons) {
        if (CaptionButton* b = button(id)) b->setEnabled(button_of(form_, id).Enabled);
    }
    for (const auto& [name, edit] : text_boxes_) {
        const QString text = QString::fromStdString(form_.text_box(name)->Text);
        if (edit->text() != text) edit->setText(text);
    }
    picture_->reload_pixels();
}

void MainWindow::take_typed_texts() {
    for (const auto& [name, edit] : text_boxes_) form_.text_box(name)->Text = edit->text().toStdString();
}

void MainWindow::on_click(ButtonId id) {
    if (handler_running_) {
        // Only something other than the user's input (which waits while a
        // handler runs) can get here; it waits its turn the same way, and
        // idr::click discards it then if the handler disabled the button.
        QMetaObject::invokeMethod(this, [this, id] { on_click(id); }, Qt::QueuedConnection);
        return;
    }
    take_typed_texts();
    ClickOutcome outcome;
    handler_running_ = true;
    try {
        outcome = click(form_, id);
    } catch (const std::exception& e) {
        // Not a run-time error of the rules: a fault of the program itself.
        handler_running_ = false;
        show_model();
        QMessageBox::critical(this, QStringLiteral("id-reader"),
                              QStringLiteral("Internal error: %1").arg(QString::fromUtf8(e.what())));
        take_focus_back();
        return;
    }
    handler_running_ = false;
    // Everything the handler did, also when it stopped early, is shown
    // before the error is reported.
    show_model();
    if (outcome.error) {
        show_error_report(this, *outcome.error);
        take_focus_back();
    }
}

void MainWindow::take_focus_back() {
    // Without a window manager nobody gives the keyboard back to the window
    // once the message box is gone, and the operator could not go on with
    // the keys (Enter or Space on the focused button, Tab).
    activateWindow();
}

void MainWindow::on_caption_changed(const std::string& caption) {
    const QString title = QString::fromStdString(caption);
    // "1. Binary" writes the same percentage for several rows in a row; the
    // window system already shows it.
    if (title == windowTitle()) return;
    setWindowTitle(title);
    if (handler_running_) {
        // The caption is the status line: push it to the window system now,
        // while the handler is still running. User input keeps waiting, so
        // no other handler can start and no text can change meanwhile.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

}  // namespace idr
