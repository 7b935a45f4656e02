#include "app/gui/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QShortcut>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

#include "form/design.h"
#include "app/gui/caption_button.h"
#include "app/gui/error_report.h"
#include "app/gui/picture_view.h"
#include "app/gui/print_form.h"
#include "app/gui/review_list.h"
#include "app/gui/window_font.h"
#include "review/page_decoder.h"
#include "review/review_outputs.h"
#include "review/reviewed_page.h"

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

// The status bar's height: two lines of the window font (Thai's stacked
// marks included), so the reasons for two or three columns fit beside the
// file and page. The window grows by it; the design's controls stay where
// they are.
constexpr int kStatusBarHeight = 34;

// The reasons the column decisions give, so they can be shown translated;
// a reason not listed here is shown as it is.
constexpr const char* kReasons[] = {
    QT_TRANSLATE_NOOP("idr::MainWindow", "no mark"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "faint or partial mark"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "a mark and a faint or partial mark"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "two marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "three marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "four marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "five marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "six marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "seven marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "eight marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "nine marks"),
    QT_TRANSLATE_NOOP("idr::MainWindow", "ten marks"),
};

QString reason_text(const std::string& reason) {
    for (const char* known : kReasons) {
        if (reason == known) return MainWindow::tr(known);
    }
    return qstr(reason);
}

QStringList to_qstrings(const std::vector<std::string>& texts) {
    QStringList out;
    for (const std::string& t : texts) out << qstr(t);
    return out;
}

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
    add_shortcuts();
    setAcceptDrops(true);
    picture_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(picture_, &QWidget::customContextMenuRequested, this, &MainWindow::show_context_menu);
    if (QLineEdit* id = text_box("Student_ID")) {
        // Only what the operator types is a correction; the texts the
        // handlers write are set with setText, which does not emit this.
        connect(id, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (session_.current() < 0) return;
            session_.set_correction(session_.current(), text.toStdString());
            update_status();
        });
    }
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
    if (session_.current() >= 0 && session_.correction(session_.current()) != nullptr) {
        // Once the operator has typed the page's ID, the box is the ID,
        // whatever a handler appends to it later.
        session_.set_correction(session_.current(), form_.Student_ID.Text);
    }
    if (id == ButtonId::CheckId && !outcome.error && current_ && current_->located) {
        checked_ = true;
        show_flags();
    }
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

namespace idr {

void MainWindow::add_shortcuts() {
    const std::pair<QKeySequence, void (MainWindow::*)()> keys[] = {
        {QKeySequence::Open, &MainWindow::choose_files},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &MainWindow::choose_folder},
        {QKeySequence(Qt::CTRL | Qt::Key_R), &MainWindow::restart_page},
        {QKeySequence::Print, &MainWindow::print_blank_form},
        {QKeySequence(Qt::CTRL | Qt::Key_E), &MainWindow::choose_report_file},
    };
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, action);
    }
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] { save_review(); });
    auto* next = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    connect(next, &QShortcut::activated, this, [this] { step(+1); });
    auto* previous = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    connect(previous, &QShortcut::activated, this, [this] { step(-1); });
}

void MainWindow::show_context_menu(const QPoint& at) {
    QMenu menu;  // no parent: it is gone when this returns
    menu.addAction(tr("Open scans..."), QKeySequence::Open, this, &MainWindow::choose_files);
    menu.addAction(tr("Open folder..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this,
                   &MainWindow::choose_folder);
    menu.addAction(tr("Write report..."), QKeySequence(Qt::CTRL | Qt::Key_E), this, &MainWindow::choose_report_file);
    menu.addSeparator();
    menu.addAction(tr("Print blank form..."), QKeySequence::Print, this, &MainWindow::print_blank_form);
    menu.exec(picture_->mapToGlobal(at));
}

void MainWindow::choose_files() {
    const QStringList files = QFileDialog::getOpenFileNames(
        this, tr("Open scans"), QString(),
        tr("Scans (*.png *.jpg *.jpeg *.tif *.tiff *.webp *.bmp *.heic *.heif *.avif *.pdf);;All files (*)"));
    if (!files.isEmpty()) open_paths(files);
    take_focus_back();
}

void MainWindow::choose_folder() {
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Open a folder of scans"));
    if (!folder.isEmpty()) open_paths({folder});
    take_focus_back();
}

void MainWindow::choose_report_file() {
    if (handler_running_) return;
    if (session_.empty()) {
        QMessageBox::information(this, QStringLiteral("id-reader"),
                                 tr("There is nothing to report: the report shows scanned pages. "
                                    "Open scans first (Ctrl+O)."));
        take_focus_back();
        return;
    }
    // Beside the review file, where the operator looks for what the
    // session wrote.
    const QString folder = QFileInfo(qstr(session_.csv_path())).absolutePath();
    QFileDialog dialog(this, tr("Write report"), folder, tr("HTML pages (*.html *.htm);;All files (*)"));
    dialog.setObjectName(QStringLiteral("reportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    dialog.selectFile(QStringLiteral("id-reader-report.html"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        write_report(dialog.selectedFiles().front());
    take_focus_back();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    open_paths(paths);
}

void MainWindow::open_paths(const QStringList& paths) {
    std::vector<std::string> names;
    for (const QString& p : paths) names.push_back(p.toStdString());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PageListing listing = list_pages(names);
    QApplication::restoreOverrideCursor();
    add_pages(listing);
}

void MainWindow::open_review(const QString& results) {
    add_pages(review_pages_from_file(results.toStdString()));
}

void MainWindow::add_pages(const PageListing& listing) {
    if (!listing.pages.empty()) {
        const int first = session_.add(listing.pages);
        show_page(first);
    }
    if (!listing.problems.empty()) {
        // Not waited for: the pages that did open are there to work on.
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("id-reader"),
                                    tr("Some scans could not be opened:"), QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setObjectName(QStringLiteral("openProblems"));
        box->setInformativeText(to_qstrings(listing.problems).join(QLatin1Char('\n')));
        connect(box, &QDialog::finished, this, &MainWindow::take_focus_back);
        box->open();
    }
}

void MainWindow::step(int delta) {
    if (session_.empty()) return;
    const int next = session_.current() + delta;
    if (next < 0 || next >= session_.size()) {
        QApplication::beep();
        return;
    }
    show_page(next);
}

void MainWindow::keep_typed_id() {
    // The box may hold typing that no click has taken into the model yet.
    if (session_.current() < 0 || session_.correction(session_.current()) == nullptr) return;
    if (QLineEdit* id = text_box("Student_ID")) session_.set_correction(session_.current(), id->text().toStdString());
}

void MainWindow::show_page(int index) {
    if (handler_running_) return;  // the keys wait while a handler runs; this is for anything else
    keep_typed_id();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LoadedPage page = load_page(session_.page(index));
    QApplication::restoreOverrideCursor();
    session_.set_current(index);
    session_.set_result(index, page);
    current_ = std::move(page);
    notice_.clear();
    ensure_status_bar();
    start_current();
}

void MainWindow::restart_page() {
    if (handler_running_) return;
    keep_typed_id();
    start_current();
}

void MainWindow::start_current() {
    checked_ = false;
    if (current_ && current_->fresh) {
        Form1 fresh = *current_->fresh;
        if (const std::string* id = session_.correction(session_.current())) fresh.Student_ID.Text = *id;
        start_model(fresh);
    } else {
        start_model(Form1());
    }
    picture_->set_flags({});
    update_status();
    picture_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::start_model(const Form1& fresh) {
    // The widgets hold references into form_, so the model is replaced in
    // place; the view's caption observer stays.
    auto observer = std::move(form_.on_caption_changed);
    form_ = fresh;
    form_.on_caption_changed = std::move(observer);
    show_model();
}

void MainWindow::ensure_status_bar() {
    if (status_bar_ != nullptr) return;
    const Rect& client = window_design().client_pixels;
    status_bar_ = new QLabel(this);
    status_bar_->setObjectName(QStringLiteral("statusBar"));
    status_bar_->setTextFormat(Qt::PlainText);
    status_bar_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_bar_->setIndent(4);
    status_bar_->setWordWrap(true);
    status_bar_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    status_bar_->setGeometry(0, client.height, client.width, kStatusBarHeight);
    status_bar_->setAccessibleName(tr("Status"));
    status_bar_->show();
    resize(client.width, client.height + kStatusBarHeight);
}

void MainWindow::update_status() {
    if (status_bar_ == nullptr || session_.current() < 0) return;
    const int index = session_.current();
    const PageRef& ref = session_.page(index);
    QStringList parts;
    parts << tr("%1 — page %2 of %3 (%4 of %5)")
                 .arg(QFileInfo(qstr(ref.file)).fileName())
                 .arg(ref.page)
                 .arg(ref.pages_in_file)
                 .arg(index + 1)
                 .arg(session_.size());
    if (current_) {
        if (current_->status == "not-found") {
            parts << tr("block not found: %1").arg(qstr(current_->why));
        } else if (current_->status == "unreadable" || current_->status == "error") {
            parts << tr("not read: %1").arg(qstr(current_->why));
        } else if (checked_ && !current_->flags.empty()) {
            QStringList reasons;
            for (const LoadedPage::Flag& f : current_->flags)
                reasons << tr("column %1: %2").arg(f.column + 1).arg(reason_text(f.reason));
            parts << tr("review: %1").arg(reasons.join(QStringLiteral("; ")));
        } else if (checked_ && current_->status == "review") {
            parts << tr("review: %1").arg(qstr(current_->why));
        } else if (checked_) {
            parts << tr("ok");
        }
        // How the page lay, unless the reasons above already say it.
        if (checked_ && !current_->lay.empty() && !(current_->status == "review" && current_->flags.empty()))
            parts << qstr(current_->lay);
    }
    if (const std::string* id = session_.correction(index)) parts << tr("corrected: %1").arg(qstr(*id));
    if (!notice_.isEmpty()) parts << notice_;
    const QString text = parts.join(QStringLiteral(" — "));
    if (status_bar_->text() == text) return;
    status_bar_->setText(text);
    status_bar_->setToolTip(text);  // the whole line where the bar cuts it
    QAccessibleEvent changed(status_bar_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void MainWindow::show_flags() {
    std::vector<PictureView::ColumnFlag> flags;
    QStringList spoken;
    for (const LoadedPage::Flag& f : current_->flags) {
        flags.push_back({f.column, QChar::fromLatin1(f.mark)});
        spoken << tr("column %1: %2").arg(f.column + 1).arg(reason_text(f.reason));
    }
    picture_->set_flags(std::move(flags));
    picture_->setAccessibleDescription(
        spoken.isEmpty() ? tr("Every column holds one clear digit")
                         : tr("Columns to check: %1").arg(spoken.join(QStringLiteral("; "))));
    update_status();
}

bool MainWindow::save_review() {
    if (session_.empty()) {
        QMessageBox::information(this, QStringLiteral("id-reader"),
                                 tr("There is nothing to save: the review file lists scanned pages. "
                                    "Open scans first (Ctrl+O)."));
        take_focus_back();
        return false;
    }
    keep_typed_id();
    const std::string path = session_.csv_path();
    if (const std::optional<std::string> trouble = review::write_review_csv(path, session_.rows())) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("id-reader"), tr("The review file was not saved."),
                        QMessageBox::Ok, this);
        box.setInformativeText(qstr(*trouble));
        box.exec();
        // Also in the bar, where it stays until the next page.
        notice_ = tr("not saved: %1").arg(qstr(*trouble));
        update_status();
        take_focus_back();
        return false;
    }
    session_.mark_saved();
    notice_ = tr("saved to %1").arg(QFileInfo(qstr(path)).fileName());
    update_status();
    return true;
}

bool MainWindow::write_report(const QString& path) {
    if (session_.empty()) return false;
    std::vector<PageRef> pages;  // the list as it is now, whatever happens meanwhile
    std::vector<std::string> files;
    for (int i = 0; i < session_.size(); ++i) {
        pages.push_back(session_.page(i));
        files.push_back(pages.back().file);
    }
    auto not_written = [this](const std::string& trouble) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("id-reader"), tr("The report was not written."),
                        QMessageBox::Ok, this);
        box.setInformativeText(qstr(trouble));
        box.exec();
        notice_ = tr("report not written: %1").arg(qstr(trouble));
        update_status();
        take_focus_back();
        return false;
    };

    // The same outputs as --report: a file that cannot be written, or one
    // of the scans themselves, is refused before any page is read.
    review::ReviewOutputs outputs;
    review::ReviewTargets targets;
    targets.report = path.toStdString();
    if (const std::optional<std::string> trouble = outputs.open(targets, files)) return not_written(*trouble);

    const int count = static_cast<int>(pages.size());
    QProgressDialog progress(tr("Reading page %1 of %2 for the report...").arg(1).arg(count), tr("Cancel"), 0, count,
                             this);
    progress.setObjectName(QStringLiteral("reportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    review::PageDecoder decoder;
    for (int i = 0; i < count; ++i) {
        progress.setLabelText(tr("Reading page %1 of %2 for the report...").arg(i + 1).arg(count));
        progress.setValue(i);  // lets the box paint and its Cancel be pressed
        if (progress.wasCanceled()) {
            // `outputs` removes the unfinished report as it goes.
            notice_ = tr("report not written: %1").arg(tr("cancelled"));
            update_status();
            take_focus_back();
            return false;
        }
        const review::ReviewedPage page = review::read_for_review(decoder, pages[i].file, pages[i].page,
                                                                  outputs.png_pictures());
        if (const std::optional<std::string> trouble = outputs.add(i + 1, page.outcome, page.picture)) {
            progress.close();
            return not_written(*trouble);
        }
    }
    progress.setValue(count);
    const std::vector<std::string> troubles = outputs.close();
    if (!troubles.empty()) return not_written(troubles.front());
    notice_ = tr("report written to %1").arg(QFileInfo(path).fileName());
    update_status();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    keep_typed_id();
    if (!session_.unsaved()) {
        event->accept();
        return;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("id-reader"),
                    tr("Save the IDs you corrected before closing?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("unsavedQuestion"));
    box.setInformativeText(tr("They go to %1.").arg(qstr(session_.csv_path())));
    box.setDefaultButton(QMessageBox::Save);
    const int answer = box.exec();
    if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && save_review())) {
        event->accept();
    } else {
        event->ignore();
        take_focus_back();
    }
}

void MainWindow::print_blank_form() {
    QPrinter printer(QPrinter::HighResolution);
    prepare_printer(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print blank form"));
    if (dialog.exec() == QDialog::Accepted) {
        if (const std::optional<QString> trouble = paint_blank_form(printer)) {
            QMessageBox::warning(this, QStringLiteral("id-reader"), tr("The form was not printed: %1").arg(*trouble));
        }
    }
    take_focus_back();
}

}  // namespace idr
