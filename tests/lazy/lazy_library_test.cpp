#include "app/lazy/lazy_library.h"

#include <gtest/gtest.h>

#include <string>

namespace idr::test {
namespace {

using lazy::LazyLibrary;

TEST(LazyLibrary, LoadsOnFirstUseOrSaysWhichLibraryIsMissing) {
    const LazyLibrary zlib("libz.so.1", "zlib (Debian package zlib1g),");
    EXPECT_EQ(zlib.problem(), std::nullopt);
    EXPECT_NE(zlib.symbol("zlibVersion"), nullptr);

    const LazyLibrary missing("libidr-no-such-library.so.7", "the test library (Debian package nothing),");
    const auto problem = missing.problem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(problem->rfind("the test library (Debian package nothing), could not be loaded: ", 0), 0u) << *problem;
    EXPECT_NE(problem->find("libidr-no-such-library.so.7"), std::string::npos) << *problem;
    EXPECT_EQ(missing.problem(), problem);  // asked again: the same answer, no second attempt
}

// The programs' own two: present on a machine that builds them.
TEST(LazyLibrary, CairoAndXlsxwriterLoad) {
    EXPECT_EQ(lazy::cairo().problem(), std::nullopt);
    EXPECT_EQ(lazy::xlsxwriter().problem(), std::nullopt);
    EXPECT_NE(lazy::cairo().symbol("cairo_version"), nullptr);
}

// A missing function is a mistake in the program, stopped at once.
TEST(LazyLibraryDeathTest, UnknownFunctionEndsTheProgram) {
    const LazyLibrary zlib("libz.so.1", "zlib,");
    EXPECT_DEATH(zlib.symbol("no_such_function_in_zlib"), "no_such_function_in_zlib: is not in the library");
}

}  // namespace
}  // namespace idr::test
