#pragma once
// Form1 on screen. The window is thin: it lays out its widgets from the
// design table, hands every button click to the model through idr::click,
// and then shows the model (caption, texts, enabled states, pixels, markers).
// The model outlives the window.
//
// Scans opened in the window (Ctrl+O, the command line, dropped files, or
// --review) form a list of pages; each page starts the model afresh on its
// rectified block. A status bar below the design's controls, present only
// while pages are open, names the file and page and, after "4. Check ID",
// why the page needs review.

#include <QStringList>
#include <QWidget>

#include <array>
#include <map>
#include <optional>
#include <string>

#include "app/gui/review_session.h"
#include "form/form1.h"
#include "reading/dispatch.h"

class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QLineEdit;

namespace idr {

class CaptionButton;
class PictureView;

class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(Form1& form, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the model as it is now.
    void show_model();

    // The widgets, for tests and probes; each also carries its design name
    // as objectName.
    CaptionButton* button(ButtonId id) const;
    QLineEdit* text_box(const std::string& name) const;
    PictureView* picture() const { return picture_; }

    // Adds the pages of these files and folders to the list and shows the
    // first one added. Paths that give no pages are reported in one message
    // box (not waited for) naming each; the others open.
    void open_paths(const QStringList& paths);
    // Adds the pages that a headless run's JSON Lines did not read "ok".
    void open_review(const QString& results);
    // Steps through the list (PgDown +1, PgUp -1); nothing past either end.
    void step(int delta);
    // Ctrl+R: the current page (or the built-in sheet) afresh, as when it
    // was first shown; an ID the operator typed for the page stays.
    void restart_page();
    // Ctrl+S: writes or updates the review file without asking. False when
    // it could not be written (reported in a message box).
    bool save_review();
    // Ctrl+P and the picture's context menu: the blank form on a printer.
    void print_blank_form();
    // The HTML report of every page in the list, as `id-reader-cli --report`
    // writes it for the same files (the pages are read again, as the command
    // line reads them, under a progress box that can cancel). False when
    // nothing was written (reported in a message box, or cancelled).
    bool write_report(const QString& path);

    const ReviewSession& session() const { return session_; }
    // Null until pages are opened.
    QLabel* status_bar() const { return status_bar_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void build_controls();
    void set_tab_order();
    void on_click(ButtonId id);
    void on_caption_changed(const std::string& caption);
    void take_typed_texts();
    void take_focus_back();
    void add_shortcuts();
    void show_context_menu(const QPoint& at);
    void choose_files();
    void choose_folder();
    void choose_report_file();
    void add_pages(const PageListing& listing);
    void show_page(int index);
    void start_current();
    void start_model(const Form1& fresh);
    void ensure_status_bar();
    void update_status();
    void show_flags();
    void keep_typed_id();

    Form1& form_;
    std::array<CaptionButton*, kAllButtons.size()> buttons_{};
    std::map<std::string, QLineEdit*> text_boxes_;
    PictureView* picture_ = nullptr;
    QLabel* label_ = nullptr;
    bool handler_running_ = false;

    ReviewSession session_;
    std::optional<LoadedPage> current_;  // the current page, with its fresh model
    bool checked_ = false;               // "4. Check ID" ran on the current model
    QString notice_;                     // a passing word in the status bar (saved, ...)
    QLabel* status_bar_ = nullptr;
};

}  // namespace idr
