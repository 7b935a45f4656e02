// Clicks through the view: every button reaches its handler, the view shows
// the model afterwards, disabled buttons take no clicks, the caption reaches
// the window while "1. Binary" runs, and run-time errors are reported in a
// message box that leaves the window running.

#include <QMessageBox>
#include <QTimer>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/picture_view.h"
#include "window_fixture.h"

namespace idr::test {
namespace {

// What a click can change, as the window shows it: the template's place,
// how many markers exist, the caption and Student_ID.
std::string observed(const Form1& f, const MainWindow& w) {
    return QStringLiteral("%1,%2 %3 [%4] [%5]")
        .arg(f.Shape1(0).Left)
        .arg(f.Shape1(0).Top)
        .arg(f.Shape1.count())
        .arg(w.windowHandle()->title(), w.text_box("Student_ID")->text())
        .toStdString();
}

TEST_F(WindowTest, EachButtonRunsItsOwnHandlerAndTheViewShowsTheResult) {
    struct Case {
        ButtonId id;
        bool grid_and_flags_first;
        const char* expected;
    };
    const Case cases[] = {
        {ButtonId::Up, false, "8,108 1 [Form1] []"},
        {ButtonId::Down, false, "8,110 1 [Form1] []"},
        {ButtonId::Left, false, "7,109 1 [Form1] []"},
        {ButtonId::Right, false, "9,109 1 [Form1] []"},
        {ButtonId::Binary, false, "8,109 1 [Image binary process done  100%] []"},
        {ButtonId::Draw, false, "8,109 100 [Form1] []"},
        {ButtonId::Check, true, "8,109 100 [Total unit remain = 10 Unit.] []"},
        {ButtonId::CheckId, true, "8,109 100 [Form1] [36]"},
    };
    for (const Case& c : cases) {
        Form1 fresh;
        MainWindow view(fresh);
        view.show();
        if (c.grid_and_flags_first) {
            idr::click(fresh, ButtonId::Draw);
            fresh.Cell_Flag(4) = kTrue;
            fresh.Cell_Flag(97) = kTrue;
        }
        QTest::mouseClick(view.button(c.id), Qt::LeftButton);
        EXPECT_EQ(observed(fresh, view), c.expected) << view.button(c.id)->text().toStdString();
    }
}

struct EnabledCase {
    const char* name;
    std::vector<ButtonId> clicks;
    std::vector<ButtonId> disabled;
};

TEST_F(WindowTest, ButtonsShowTheModelsEnabledStates) {
    using B = ButtonId;
    const std::vector<EnabledCase> cases = {
        {"start", {}, {}},
        {"after 1. Binary", {B::Binary}, {B::Binary, B::Up, B::Down, B::Left, B::Right}},
        {"after 2. Draw grid", {B::Draw}, {B::Draw}},
        {"after both", {B::Draw, B::Binary}, {B::Binary, B::Up, B::Down, B::Left, B::Right, B::Draw}},
        {"checks stay usable", {B::Draw, B::Check, B::Check, B::CheckId, B::CheckId}, {B::Draw}},
    };
    for (const EnabledCase& c : cases) {
        SCOPED_TRACE(c.name);
        Form1 fresh;
        MainWindow view(fresh);
        view.show();
        for (ButtonId id : c.clicks) QTest::mouseClick(view.button(id), Qt::LeftButton);
        for (ButtonId id : kAllButtons) {
            const bool expect_disabled = std::find(c.disabled.begin(), c.disabled.end(), id) != c.disabled.end();
            EXPECT_EQ(view.button(id)->isEnabled(), !expect_disabled) << view.button(id)->objectName().toStdString();
            EXPECT_EQ(button_of(fresh, id).Enabled, !expect_disabled);
        }
    }
}

TEST_F(WindowTest, ADisabledButtonTakesNoClicksAndNoFocus) {
    click(ButtonId::Binary);
    button(ButtonId::Up)->setFocus();
    EXPECT_FALSE(button(ButtonId::Up)->hasFocus());
    click(ButtonId::Up);
    QTest::keyClick(button(ButtonId::Up), Qt::Key_Space);
    EXPECT_EQ(form.Shape1(0).Top, 109.0f);
}

TEST_F(WindowTest, SpaceAndEnterClickTheFocusedButton) {
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        button(ButtonId::Down)->setFocus();
        QTest::keyClick(button(ButtonId::Down), key);
    }
    EXPECT_EQ(form.Shape1(0).Top, 112.0f);
}

TEST_F(WindowTest, HandlersReadWhatTheOperatorTyped) {
    type_into("Student_ID", QStringLiteral("ab"));
    form.Cell_Flag(3) = kTrue;
    click(ButtonId::CheckId);
    EXPECT_EQ(form.Student_ID.Text, "ab2");
    EXPECT_EQ(box("Student_ID")->text(), QStringLiteral("ab2"));

    type_into("txtTreshold", QStringLiteral("255"));
    click(ButtonId::Binary);
    for (Int32 p : form.picRedraw.surface.pixels()) ASSERT_EQ(p, 0);  // 255: every pixel black
}

TEST_F(WindowTest, TextBoxesHaveNoLengthLimit) {
    // The text goes model -> box -> model on every click; a box that
    // truncated it would silently drop digits.
    box("Student_ID")->setText(QString(40000, QLatin1Char('7')));  // as if pasted
    form.Cell_Flag(2) = kTrue;
    click(ButtonId::CheckId);
    click(ButtonId::CheckId);
    EXPECT_EQ(box("Student_ID")->text().size(), 40002);
    EXPECT_EQ(form.Student_ID.Text.size(), 40002u);
}

std::string expected_progress(int row) {
    const double percent = std::floor(static_cast<double>(row) / 362.0 * 100.0);
    return "Image binary process done  " + std::to_string(static_cast<int>(percent)) + "%";
}

TEST_F(WindowTest, EveryProgressCaptionReachesTheWindowBeforeBinaryReturns) {
    // Record, from inside the handler, what the platform window holds as
    // title at each caption the handler sets. And post an event at the
    // first row: it runs only when the event loop turns, which must happen
    // while the handler works, or nothing is flushed to the screen.
    std::vector<std::string> shown;
    std::size_t rows_when_loop_turned = 0;
    auto view_observer = form.on_caption_changed;
    form.on_caption_changed = [&](const std::string& caption) {
        view_observer(caption);
        shown.push_back(window.windowHandle()->title().toStdString());
        if (shown.size() == 1) QTimer::singleShot(0, &window, [&] { rows_when_loop_turned = shown.size(); });
    };

    click(ButtonId::Binary);

    ASSERT_EQ(shown.size(), 363u);
    for (int row = 0; row < 363; ++row) ASSERT_EQ(shown[row], expected_progress(row)) << "row " << row;
    // At the next caption that differs (row 4, the first at 1%).
    EXPECT_GT(rows_when_loop_turned, 0u);
    EXPECT_LT(rows_when_loop_turned, 10u);
    form.on_caption_changed = view_observer;
}

TEST_F(WindowTest, AClickArrivingWhileAHandlerRunsWaitsForIt) {
    auto view_observer = form.on_caption_changed;
    int markers_during_binary = -1;
    bool clicked = false;
    form.on_caption_changed = [&](const std::string& caption) {
        view_observer(caption);
        if (!clicked) {
            clicked = true;
            button(ButtonId::Up)->click();    // disabled by the running handler: dropped
            button(ButtonId::Draw)->click();  // still enabled: runs afterwards
        }
        markers_during_binary = form.Shape1.count();
    };
    click(ButtonId::Binary);
    EXPECT_EQ(markers_during_binary, 1);
    QApplication::processEvents();
    EXPECT_EQ(form.Shape1.count(), 100);
    EXPECT_EQ(form.Shape1(0).Top, 109.0f);
    form.on_caption_changed = view_observer;
}

struct Dialog {
    QString text, details, title_under_it;
};

// Clicks `id` and answers the message box with Enter, recording what it said
// and what the window showed under it.
std::optional<Dialog> click_and_dismiss_error(MainWindow& window, ButtonId id) {
    std::optional<Dialog> seen;
    QTimer::singleShot(0, &window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        seen = Dialog{box->text(), box->informativeText(), window.windowTitle()};
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::mouseClick(window.button(id), Qt::LeftButton);
    return seen;
}

struct ErrorCase {
    const char* name;
    const char* box;  // typed into before the click, when not null
    const char* typed;
    bool grid_first;
    ButtonId id;
    const char* kind;
    const char* detail;
};

TEST_F(WindowTest, ARunTimeErrorIsReportedAndTheWindowCarriesOn) {
    const ErrorCase cases[] = {
        {"letters as threshold", "txtTreshold", "abc", false, ButtonId::Binary, "Type mismatch", "\"abc\""},
        {"empty threshold", "txtTreshold", "", false, ButtonId::Binary, "Type mismatch", "txtTreshold"},
        {"check before the grid", nullptr, nullptr, false, ButtonId::Check, "Missing", "(1)"},
        {"number beyond a double", "txtBlack_Pixels", "1e999", true, ButtonId::Check, "Overflow", "1e999"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Surface before = form.picRedraw.surface;
        if (c.box != nullptr) type_into(c.box, QString::fromUtf8(c.typed));
        if (c.grid_first) click(ButtonId::Draw);

        const std::optional<Dialog> dialog = click_and_dismiss_error(window, c.id);

        ASSERT_TRUE(dialog.has_value()) << "no message box";
        EXPECT_TRUE(dialog->text.contains(QString::fromUtf8(c.kind))) << dialog->text.toStdString();
        EXPECT_TRUE(dialog->details.contains(QString::fromUtf8(c.detail))) << dialog->details.toStdString();
        EXPECT_EQ(dialog->title_under_it, QString::fromStdString(form.Caption()));
        // The window is still there; nothing was undone, nothing skipped ran.
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(form.picRedraw.surface, before);
        EXPECT_TRUE(button(c.id)->isEnabled());
        type_into("txtTreshold", "35");
        type_into("txtBlack_Pixels", "8");
    }
    // and it still works afterwards
    click(ButtonId::Binary);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Image binary process done  100%"));
}

}  // namespace
}  // namespace idr::test
