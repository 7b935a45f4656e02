// The paper a form prints on when the user does not say.

#include <gtest/gtest.h>
#include <locale.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "printing/form_drawing.h"

namespace idr::test {
namespace {

using namespace idr::printing;

// Sets LC_ALL for one case and puts the old value back.
class ScopedLcAll {
public:
    explicit ScopedLcAll(const char* value) {
        if (const char* old = std::getenv("LC_ALL")) old_ = old;
        setenv("LC_ALL", value, 1);
    }
    ~ScopedLcAll() {
        if (old_) setenv("LC_ALL", old_->c_str(), 1);
        else unsetenv("LC_ALL");
    }

private:
    std::optional<std::string> old_;
};

bool locale_installed(const char* name) {
    locale_t loc = newlocale(LC_PAPER_MASK, name, static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return false;
    freelocale(loc);
    return true;
}

TEST(DefaultPaper, FollowsTheLocaleElseA4) {
    const struct {
        const char* locale;
        Paper paper;
    } cases[] = {
        {"C", Paper::A4},
        {"xx_NOWHERE.UTF-8", Paper::A4},  // not installed: A4, not a failure
        {"en_US.UTF-8", Paper::Letter},
        {"en_CA.UTF-8", Paper::Letter},
        {"de_DE.UTF-8", Paper::A4},
    };
    for (const auto& c : cases) {
        if (std::string(c.locale) != "xx_NOWHERE.UTF-8" && !locale_installed(c.locale)) continue;
        SCOPED_TRACE(c.locale);
        const ScopedLcAll lc(c.locale);
        EXPECT_EQ(default_paper(), c.paper);
    }
}

}  // namespace
}  // namespace idr::test
