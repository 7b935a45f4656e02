#include "app/cli/button_names.h"

#include <gtest/gtest.h>

#include <iterator>

namespace idr::test {
namespace {

TEST(ButtonNames, EveryButtonHasOneNameBothWays) {
    const struct {
        ButtonId id;
        const char* cli;
    } cases[] = {
        {ButtonId::Binary, "binary"}, {ButtonId::Draw, "draw"}, {ButtonId::Check, "check"},
        {ButtonId::CheckId, "check-id"}, {ButtonId::Up, "up"},   {ButtonId::Down, "down"},
        {ButtonId::Left, "left"},     {ButtonId::Right, "right"},
    };
    ASSERT_EQ(std::size(cases), kAllButtons.size());
    for (const auto& c : cases) {
        EXPECT_EQ(cli_name(c.id), c.cli);
        EXPECT_EQ(button_from_cli_name(c.cli), c.id);
    }
    for (const char* bad : {"", "Binary", "check_id", "binary ", "up,down", "cmdBinary"}) {
        EXPECT_FALSE(button_from_cli_name(bad)) << bad;
    }
}

}  // namespace
}  // namespace idr::test
