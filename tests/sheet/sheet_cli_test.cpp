// A few of the sheet's figures through id-reader-cli, the way an operator
// without a display sees them.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct CliRun {
    std::string out;
    int status = -1;
};

CliRun run_cli(const std::string& args) {
    CliRun r;
    const std::string command = std::string("'") + IDR_CLI_PATH + "' " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return r;
    std::array<char, 512> buf{};
    while (std::fgets(buf.data(), buf.size(), pipe)) r.out += buf.data();
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

TEST(SheetCli, FiguresOnTheBuiltInSheet) {
    struct Case {
        const char* args;
        const char* caption;
        const char* student_id;  // nullptr: not checked
    };
    const Case cases[] = {
        {"", "Total unit remain = 10 Unit.", "5093719246"},
        {"--threshold 158", "Total unit remain = 15 Unit.", nullptr},
        {"--threshold 248", "Total unit remain = 100 Unit.", nullptr},
        {"--black-samples 0", "Total unit remain = 57 Unit.", nullptr},
        {"--click draw,check,check-id", "Total unit remain = 10 Unit.", "5093719246"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun r = run_cli(c.args);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find(std::string("caption: ") + c.caption + "\n"), std::string::npos) << r.out;
        if (c.student_id) {
            EXPECT_NE(r.out.find(std::string("student-id: ") + c.student_id + "\n"), std::string::npos) << r.out;
        }
    }
}

}  // namespace
