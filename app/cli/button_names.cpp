#include "app/cli/button_names.h"

#include <array>
#include <cstddef>

namespace idr {

namespace {

struct CliName {
    ButtonId id;
    std::string_view name;
};

constexpr std::array<CliName, kButtonCount> kNames{{
    {ButtonId::Binary, "binary"},
    {ButtonId::Draw, "draw"},
    {ButtonId::Check, "check"},
    {ButtonId::CheckId, "check-id"},
    {ButtonId::Up, "up"},
    {ButtonId::Down, "down"},
    {ButtonId::Left, "left"},
    {ButtonId::Right, "right"},
}};
static_assert(keyed_in_button_order(kNames), "one command-line name per design button, in ButtonId order");

}  // namespace

std::string_view cli_name(ButtonId id) { return kNames[static_cast<std::size_t>(id)].name; }

std::optional<ButtonId> button_from_cli_name(std::string_view name) {
    for (const CliName& n : kNames) {
        if (n.name == name) return n.id;
    }
    return std::nullopt;
}

}  // namespace idr
