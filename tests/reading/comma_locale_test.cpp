// The handlers under a user's locale whose decimal separator is a comma: the
// model takes the separator from the locale at start-up, and both boxes read
// "35,5" and "8,5" and refuse "35.5" and "8.5". The other reading tests set
// the separator by hand; this one would fail if start-up ignored the locale.

#include <gtest/gtest.h>

#include "comma_locale.h"
#include "reading/grid.h"
#include "support.h"

namespace idr::test {
namespace {

TEST(CommaLocale, BothBoxesReadTheUsersSeparator) {
    ASSERT_TRUE(CommaLocaleEnvironment::available())
        << "localedef could not build a test locale (install the locales package)";
    const CommaLocaleEnvironment comma;
    const struct {
        ButtonId button;
        const char* text;
        bool number;
    } cases[] = {
        {ButtonId::Binary, "35,5", true},  {ButtonId::Binary, "35.5", false},
        {ButtonId::Check, "8,5", true},    {ButtonId::Check, "8.5", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Form1 form = plain_form(262, 362, rgb(35, 35, 35));  // mean 35: black under "35,5"
        EXPECT_EQ(form.decimal_separator, ",");
        if (c.button == ButtonId::Check) {
            form.picRedraw.surface = Surface(262, 362, kWhite);
            click_all(form, {ButtonId::Draw});
            paint_samples(form.picRedraw.surface, form.Shape1(0).Left, form.Shape1(0).Top, 9);
            form.txtBlack_Pixels.Text = c.text;
        } else {
            form.txtTreshold.Text = c.text;
        }
        const ClickOutcome outcome = click(form, c.button);
        ASSERT_EQ(!outcome.error, c.number) << (outcome.error ? outcome.error->report() : "");
        if (!c.number) {
            EXPECT_EQ(outcome.error->kind(), ErrorKind::TypeMismatch);
        } else if (c.button == ButtonId::Binary) {
            EXPECT_EQ(form.picRedraw.surface.pixel(0, 0), kBlack);
        } else {
            EXPECT_EQ(form.Cell_Flag(1), kTrue);  // 9 samples > 8,5
            EXPECT_EQ(form.Caption(), "Total unit remain = 1 Unit.");
        }
    }
}

}  // namespace
}  // namespace idr::test
