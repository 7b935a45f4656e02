// The window as laid out from the design table: geometry, texts, focus, tab
// order, resizing and accessible names.

#include <QAccessible>
#include <QLabel>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/gui/layout_report.h"
#include "app/gui/picture_view.h"
#include "form/design.h"
#include "window_fixture.h"

namespace idr::test {
namespace {

QString text_of(QWidget* widget) {
    if (auto* b = qobject_cast<QAbstractButton*>(widget)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(widget)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(widget)) return l->text();
    return {};
}

TEST_F(WindowTest, EveryControlSitsAtItsDesignPixelsWithItsDesignText) {
    int placed = 0;
    for (const ControlDesign& design : control_designs()) {
        if (design.container != window_design().name) continue;  // the shape lives in the picture
        SCOPED_TRACE(std::string(design.name));
        auto* widget = window.findChild<QWidget*>(QString::fromUtf8(design.name.data(), design.name.size()));
        ASSERT_NE(widget, nullptr);
        const Rect& r = design.pixels;
        EXPECT_EQ(widget->geometry(), QRect(r.left, r.top, r.width, r.height));
        if (design.kind != ControlKind::PictureBox) {
            // Exact, blanks included: "1. Binary" keeps its 11 trailing blanks.
            EXPECT_EQ(text_of(widget).toStdString(), design.text);
        }
        ++placed;
    }
    EXPECT_EQ(placed, 13);
}

TEST_F(WindowTest, OpensWithDesignClientAreaCaptionAndPictureSize) {
    const Rect& client = window_design().client_pixels;
    EXPECT_EQ(window.geometry(), QRect(client.left, client.top, client.width, client.height));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Form1"));
    EXPECT_EQ(window.windowHandle()->title(), QStringLiteral("Form1"));
    // 266 x 366 with a 2-pixel border: the inner area is the picture's size.
    EXPECT_EQ(window.picture()->contentsRect(), QRect(2, 2, 262, 362));
    EXPECT_EQ(window.picture()->pixels().size(), QSize(262, 362));
}

// What id-reader --print-layout tells the scripts is where the widgets are:
// a script clicking at a printed centre hits that control.
TEST_F(WindowTest, PrintedLayoutIsWhereTheWidgetsAre) {
    std::ostringstream printed;
    print_layout(printed);
    std::istringstream in(printed.str());
    std::map<std::string, QRect> rects;
    std::string name;
    int l = 0, t = 0, w = 0, h = 0;
    while (in >> name >> l >> t >> w >> h) rects[name] = QRect(l, t, w, h);
    ASSERT_TRUE(in.eof()) << printed.str();

    EXPECT_EQ(rects.at("Form1"), window.geometry());
    int controls = 0;
    for (QWidget* widget : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const std::string control = widget->objectName().toStdString();
        SCOPED_TRACE(control);
        ASSERT_TRUE(rects.count(control));
        EXPECT_EQ(rects.at(control), widget->geometry());
        EXPECT_EQ(window.childAt(rects.at(control).center()), widget);
        ++controls;
    }
    EXPECT_EQ(controls, 13);
    const QRect inside = window.picture()->contentsRect().translated(window.picture()->pos());
    EXPECT_EQ(rects.at("picRedraw.inside"), inside);
    const ShapeElement& cell = form.Shape1(0);
    EXPECT_EQ(rects.at("Shape1"), QRect(inside.left() + static_cast<int>(cell.Left), inside.top() + static_cast<int>(cell.Top),
                                        static_cast<int>(cell.Width), static_cast<int>(cell.Height)));
    // Not a rectangle: the grid's pitch both ways and its columns and rows.
    EXPECT_EQ(rects.at("Shape1.grid"), QRect(25, 25, 10, 10));
    EXPECT_EQ(rects.size(), 17u);
}

TEST_F(WindowTest, KeyboardFocusStartsOnThePicture) {
    EXPECT_EQ(QApplication::focusWidget(), window.picture());
}

std::vector<std::string> tab_cycle(QWidget* start, int presses) {
    std::vector<std::string> seen;
    start->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        seen.push_back(QApplication::focusWidget()->objectName().toStdString());
    }
    return seen;
}

TEST_F(WindowTest, TabVisitsControlsInDesignOrder) {
    const std::vector<std::string> expected = {
        "Student_ID", "txtTreshold", "cmdBinary", "txtBlack_Pixels", "cmdCheck", "cmdCheck_ID",
        "Command3",   "Command1",    "Command2",  "Command4",        "cmdDraw",  "picRedraw"};
    EXPECT_EQ(tab_cycle(window.picture(), 12), expected);
}

TEST_F(WindowTest, TabSkipsTheButtonsThatBinaryDisabled) {
    click(ButtonId::Binary);
    const std::vector<std::string> expected = {"Student_ID", "txtTreshold", "txtBlack_Pixels", "cmdCheck",
                                               "cmdCheck_ID", "cmdDraw", "picRedraw"};
    EXPECT_EQ(tab_cycle(window.picture(), 7), expected);
}

TEST_F(WindowTest, ResizingOrMaximisingMovesNoControl) {
    std::vector<QRect> before;
    for (QWidget* w : window.findChildren<QWidget*>()) before.push_back(w->geometry());
    for (const QSize size : {QSize(900, 700), QSize(200, 150)}) {
        window.resize(size);
        QApplication::processEvents();
        std::size_t i = 0;
        for (QWidget* w : window.findChildren<QWidget*>()) EXPECT_EQ(w->geometry(), before[i++]);
    }
    window.showMaximized();
    QApplication::processEvents();
    std::size_t i = 0;
    for (QWidget* w : window.findChildren<QWidget*>()) EXPECT_EQ(w->geometry(), before[i++]);
}

TEST_F(WindowTest, EveryControlHasAnAccessibleName) {
    int named = 0;
    for (QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        SCOPED_TRACE(w->objectName().toStdString());
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        const QString name = a->text(QAccessible::Name);
        EXPECT_FALSE(name.trimmed().isEmpty());
        EXPECT_EQ(name, name.trimmed());  // no trailing blanks read out
        ++named;
    }
    EXPECT_EQ(named, 13);
}

}  // namespace
}  // namespace idr::test
