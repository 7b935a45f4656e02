#pragma once
// A locale whose decimal separator is a comma, for tests that must not pass
// with a hard-coded ".". Debian installs few locales, so the test builds its
// own once (localedef, with only an LC_NUMERIC category) in the build tree
// and points LOCPATH there; nothing outside the build tree changes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace idr::test {

inline constexpr const char* kCommaLocale = "xx_COMMA.UTF-8";

// Sets an environment variable for a scope and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The directory to give LOCPATH, with kCommaLocale built in it; empty when
// localedef failed (it needs the locales package for the UTF-8 charmap).
inline std::string comma_locale_dir() {
    namespace fs = std::filesystem;
    static const std::string dir = [] {
        const fs::path path = fs::path(IDR_BINARY_DIR) / "tests" / "locales";
        if (fs::exists(path / kCommaLocale / "LC_NUMERIC")) return path.string();
        fs::create_directories(path);
        std::ofstream(path / "comma.src") << "LC_NUMERIC\n"
                                             "decimal_point \"<U002C>\"\n"
                                             "thousands_sep \"<U002E>\"\n"
                                             "grouping 3;3\n"
                                             "END LC_NUMERIC\n";
        // -c: the other categories are missing on purpose.
        const std::string command = "localedef -c -i '" + (path / "comma.src").string() + "' -f UTF-8 '" +
                                    (path / kCommaLocale).string() + "' >/dev/null 2>&1";
        (void)std::system(command.c_str());
        return fs::exists(path / kCommaLocale / "LC_NUMERIC") ? path.string() : std::string();
    }();
    return dir;
}

// For the scope of a test: the user's locale has "," as decimal separator.
class CommaLocaleEnvironment {
public:
    CommaLocaleEnvironment() : locpath_("LOCPATH", comma_locale_dir()), lc_all_("LC_ALL", kCommaLocale) {}
    static bool available() { return !comma_locale_dir().empty(); }

private:
    ScopedEnv locpath_, lc_all_;
};

}  // namespace idr::test
