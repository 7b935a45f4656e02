#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form/design.h"
#include "form/form1.h"
#include "rules/colour.h"
#include "rules/error.h"

namespace idr::test {
namespace {

// A small picture, so these tests depend on no particular sheet.
Form1 make_form() { return Form1(Surface(262, 362, kWhite)); }

TEST(Form1StartUp, CaptionAndTexts) {
    const Form1 form = make_form();
    EXPECT_EQ(form.Caption(), "Form1");
    EXPECT_EQ(form.txtTreshold.Text, "35");
    EXPECT_EQ(form.txtBlack_Pixels.Text, "8");
    EXPECT_EQ(form.Student_ID.Text, "");
    EXPECT_EQ(form.Label1.Caption, control_design("Label1").text);
    EXPECT_FALSE(form.decimal_separator.empty());
}

TEST(Form1StartUp, AllEightButtonsEnabledWithExactCaptions) {
    Form1 form = make_form();
    const struct {
        Button Form1::*member;
        const char* name;
        const char* caption;
    } cases[] = {
        {&Form1::cmdBinary, "cmdBinary", "1. Binary           "},
        {&Form1::cmdDraw, "cmdDraw", "2. Draw grid                   "},
        {&Form1::cmdCheck, "cmdCheck", "3. Check  object"},
        {&Form1::cmdCheck_ID, "cmdCheck_ID", "4. Check ID                    "},
        {&Form1::Command2, "Command2", "Up"},
        {&Form1::Command1, "Command1", "Down"},
        {&Form1::Command3, "Command3", "Right"},
        {&Form1::Command4, "Command4", "Left"},
    };
    for (const auto& c : cases) {
        const Button& b = form.*c.member;
        EXPECT_EQ(b.name, c.name);
        EXPECT_EQ(b.Caption, c.caption) << c.name;
        EXPECT_TRUE(b.Enabled) << c.name;
        EXPECT_EQ(form.button(c.name), &b) << c.name;
    }
}

TEST(Form1StartUp, OnlyTheTemplateCellExists) {
    const Form1 form = make_form();
    ASSERT_EQ(form.Shape1.count(), 1);
    ASSERT_TRUE(form.Shape1.exists(0));
    const ShapeElement& t = form.Shape1(0);
    EXPECT_EQ(t, (ShapeElement{8, 109, 20, 20, true, kBlue, kBlack, kStylePlain}));
    EXPECT_FALSE(form.Shape1.exists(1));
}

TEST(Form1StartUp, CellFlagsAllZeroWithBoundsZeroToHundred) {
    const Form1 form = make_form();
    EXPECT_EQ(CellFlags::lower_bound, 0);
    EXPECT_EQ(CellFlags::upper_bound, 100);
    for (Int32 i = 0; i <= 100; ++i) EXPECT_EQ(form.Cell_Flag(i), 0) << i;
    EXPECT_THROW((void)form.Cell_Flag(101), RuntimeError);
}

TEST(Form1StartUp, PictureBoxTakesThePicturesSize) {
    const Form1 form = make_form();
    EXPECT_EQ(form.picRedraw.name, "picRedraw");
    EXPECT_EQ(form.picRedraw.ScaleWidth(), 262.0f);
    EXPECT_EQ(form.picRedraw.ScaleHeight(), 362.0f);
    EXPECT_EQ(form.picRedraw.Point(0, 0), kWhite);

    const Form1 small(Surface(3, 2, kBlack));
    EXPECT_EQ(small.picRedraw.ScaleWidth(), 3.0f);
    EXPECT_EQ(small.picRedraw.ScaleHeight(), 2.0f);
}

TEST(Form1StartUp, EmbeddedSheetFillsTheDrawingArea) {
    const Form1 form;
    // The drawing area inside the 2-pixel border of the 266 x 366 box.
    EXPECT_EQ(form.picRedraw.ScaleWidth(), 262.0f);
    EXPECT_EQ(form.picRedraw.ScaleHeight(), 362.0f);
    EXPECT_EQ(form.Caption(), "Form1");
}

TEST(Form1, LookUpsByName) {
    Form1 form = make_form();
    EXPECT_EQ(form.text_box("txtTreshold"), &form.txtTreshold);
    EXPECT_EQ(form.text_box("txtBlack_Pixels"), &form.txtBlack_Pixels);
    EXPECT_EQ(form.text_box("Student_ID"), &form.Student_ID);
    const std::string_view unknown[] = {"", "txtThreshold", "cmdbinary", "Label1", "picRedraw", "Shape1"};
    for (std::string_view name : unknown) {
        EXPECT_EQ(form.button(name), nullptr) << name;
        EXPECT_EQ(form.text_box(name), nullptr) << name;
    }
    EXPECT_EQ(form.button("txtTreshold"), nullptr);
    EXPECT_EQ(form.text_box("cmdDraw"), nullptr);
}

TEST(Form1, SetCaptionNotifiesAtOnceWithTheNewText) {
    Form1 form = make_form();
    std::vector<std::string> seen;
    form.on_caption_changed = [&](const std::string& text) {
        // The model already holds the new caption when the view is told.
        EXPECT_EQ(form.Caption(), text);
        seen.push_back(text);
    };
    form.set_Caption("Image binary process done  1%");
    form.set_Caption("Image binary process done  1%");
    form.set_Caption("");
    EXPECT_EQ(seen, (std::vector<std::string>{"Image binary process done  1%",
                                              "Image binary process done  1%", ""}));
    EXPECT_EQ(form.Caption(), "");
}

TEST(Form1, SetCaptionWithoutObserver) {
    Form1 form = make_form();
    form.set_Caption("Total unit remain = 10 Unit.");
    EXPECT_EQ(form.Caption(), "Total unit remain = 10 Unit.");
}

TEST(ShapeArray, LoadCopiesTheLowestElementInvisible) {
    Form1 form = make_form();
    form.Shape1(0).Left = 12;
    form.Shape1(0).FillStyle = kStyleMarked;
    form.Shape1.Load(5);
    ShapeElement expected = form.Shape1(0);
    expected.Visible = false;
    EXPECT_EQ(form.Shape1(5), expected);

    // A later load still copies element 0, not the newest one.
    form.Shape1(5).Left = 99;
    form.Shape1.Load(2);
    EXPECT_EQ(form.Shape1(2).Left, 12);
    EXPECT_EQ(form.Shape1.count(), 3);

    // Elements are independent: changing a copy leaves the template alone.
    form.Shape1(2).Visible = true;
    form.Shape1(2).Top = 1;
    EXPECT_EQ(form.Shape1(0).Top, 109);
}

TEST(ShapeArray, LoadIntoAnEmptyArrayFails) {
    ShapeArray shapes;
    try {
        shapes.Load(1);
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Control);
        EXPECT_EQ(e.message(), "cannot load Shape1(1): Shape1 has no element to copy");
    }
    EXPECT_EQ(shapes.count(), 0);
}

TEST(ShapeArray, LoadErrors) {
    Form1 form = make_form();
    form.Shape1.Load(1);
    const struct {
        Int16 index;
        const char* message;
    } cases[] = {
        {0, "cannot load Shape1(0): it is already loaded"},
        {1, "cannot load Shape1(1): it is already loaded"},
        {-1, "cannot load Shape1(-1): indexes start at 0"},
    };
    for (const auto& c : cases) {
        try {
            form.Shape1.Load(c.index);
            ADD_FAILURE() << c.index;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Control);
            EXPECT_EQ(e.message(), c.message);
        }
    }
    EXPECT_EQ(form.Shape1.count(), 2);
    EXPECT_FALSE(form.Shape1(1).Visible);  // a failed reload changed nothing
}

TEST(ShapeArray, MissingElementNamesTheIndex) {
    Form1 form = make_form();
    const Form1& read_only = form;
    const Int16 missing[] = {1, 99, -1, 32767, -32768};
    for (Int16 index : missing) {
        for (bool constant : {false, true}) {
            try {
                if (constant) {
                    (void)read_only.Shape1(index);
                } else {
                    form.Shape1(index).Visible = true;
                }
                ADD_FAILURE() << index;
            } catch (const RuntimeError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::MissingElement);
                EXPECT_EQ(e.message(), "Shape1(" + std::to_string(index) + ") does not exist");
            }
        }
    }
    EXPECT_EQ(form.Shape1.count(), 1);  // looking up never creates
}

}  // namespace
}  // namespace idr::test
