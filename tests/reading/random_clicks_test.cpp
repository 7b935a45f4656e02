// Random click sequences with random box texts on fresh models: the handlers
// may only fail with the run-time errors of the rules, and the model's
// invariants must hold after every click.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "support.h"

namespace idr::test {
namespace {

const char* const kTexts[] = {
    "35", "8", "0", "-1", "255", "8.5", "8,5", " 12 ", "", "   ", "abc", "3x", "1e6", "1e400", "-1e400",
    "99999999999999999999", "-32769", "+7", ".5", "5.", "e5", "\xe0\xb9\x93\xe0\xb9\x95", "\t9\t", "--1", "0x10",
};

template <class Rng>
const char* random_text(Rng& rng) {
    return kTexts[std::uniform_int_distribution<std::size_t>(0, std::size(kTexts) - 1)(rng)];
}

template <class Rng>
void run_random_sequence(Form1& form, Rng& rng, int clicks) {
    std::uniform_int_distribution<std::size_t> pick_button(0, kAllButtons.size() - 1);
    std::array<bool, kAllButtons.size()> was_disabled{};
    bool binarized = false;

    for (int n = 0; n < clicks; ++n) {
        if (rng() % 3 == 0) form.txtTreshold.Text = random_text(rng);
        if (rng() % 3 == 0) form.txtBlack_Pixels.Text = random_text(rng);
        if (rng() % 4 == 0) form.Student_ID.Text = random_text(rng);

        const ButtonId id = kAllButtons[pick_button(rng)];
        const ClickOutcome outcome = click(form, id);
        if (outcome.error) {
            const ErrorKind kind = outcome.error->kind();
            EXPECT_TRUE(kind == ErrorKind::TypeMismatch || kind == ErrorKind::Overflow ||
                        kind == ErrorKind::MissingElement)
                << button_design(id).name << ": " << outcome.error->report();
        } else if (outcome.ran && id == ButtonId::Binary) {
            binarized = true;
        }

        const int cells = form.Shape1.count();
        ASSERT_TRUE(cells == 1 || cells == 100) << cells;
        for (std::size_t b = 0; b < kAllButtons.size(); ++b) {
            const bool enabled = button_of(form, kAllButtons[b]).Enabled;
            ASSERT_FALSE(was_disabled[b] && enabled) << button_design(kAllButtons[b]).name << " came back";
            was_disabled[b] = !enabled;
        }
        for (Int32 i = 0; i <= 100; ++i) ASSERT_TRUE(form.Cell_Flag(i) == kFalse || form.Cell_Flag(i) == kTrue);
        if (binarized) {
            for (Int32 colour : form.picRedraw.surface.pixels()) ASSERT_TRUE(colour == kBlack || colour == kWhite);
        }
    }
}

TEST(RandomClicks, SmallPicturesKeepTheModelsInvariants) {
    std::mt19937 rng(20240611);
    for (int sequence = 0; sequence < 10000; ++sequence) {
        const int width = 6 + static_cast<int>(rng() % 35);
        const int height = 5 + static_cast<int>(rng() % 26);
        Surface picture(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) picture.set_pixel(x, y, static_cast<Int32>(rng() & 0xFFFFFF));
        }
        Form1 form(std::move(picture));
        run_random_sequence(form, rng, 1 + static_cast<int>(rng() % 12));
        if (HasFatalFailure()) return;
    }
}

TEST(RandomClicks, TheEmbeddedSheetKeepsTheModelsInvariants) {
    std::mt19937 rng(7);
    for (int sequence = 0; sequence < 3; ++sequence) {
        Form1 form;
        run_random_sequence(form, rng, 12);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace idr::test
