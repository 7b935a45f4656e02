#pragma once
// A shown, active id-reader window on the embedded sheet.

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "form/form1.h"
#include "app/gui/caption_button.h"
#include "app/gui/main_window.h"
#include "reading/dispatch.h"

namespace idr::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    CaptionButton* button(ButtonId id) { return window.button(id); }
    QLineEdit* box(const char* name) { return window.text_box(name); }

    void click(ButtonId id) { QTest::mouseClick(button(id), Qt::LeftButton); }

    // Replaces the text of a box as the operator would: select all, type.
    void type_into(const char* name, const QString& text) {
        QLineEdit* edit = box(name);
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    Form1 form;
    MainWindow window{form};
};

}  // namespace idr::test
