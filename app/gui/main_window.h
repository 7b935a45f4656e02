#pragma once
// Form1 on screen. The window is thin: it lays out its widgets from the
// design table, hands every button click to the model through idr::click,
// and then shows the model (caption, texts, enabled states, pixels, markers).
// The model outlives the window.

#include <QWidget>

#include <array>
#include <map>
#include <string>

#include "form/form1.h"
#include "reading/dispatch.h"

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

private:
    void build_controls();
    void set_tab_order();
    void on_click(ButtonId id);
    void on_caption_changed(const std::string& caption);
    void take_typed_texts();
    void take_focus_back();

    Form1& form_;
    std::array<CaptionButton*, kAllButtons.size()> buttons_{};
    std::map<std::string, QLineEdit*> text_boxes_;
    PictureView* picture_ = nullptr;
    QLabel* label_ = nullptr;
    bool handler_running_ = false;
};

}  // namespace idr
