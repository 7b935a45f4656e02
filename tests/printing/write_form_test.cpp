// The form as files: the extension picks the format, failures name the file
// and the reason and leave what was there alone.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "printing/form_drawing.h"
#include "printing/png_resolution.h"

namespace idr::test {
namespace {

using namespace idr::printing;

namespace fs = std::filesystem;

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t be32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return v;
}

class WriteForm : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("idr_printing_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(WriteForm, ExtensionPicksTheFormat) {
    const struct {
        const char* name;
        Paper paper;
        std::string starts_with;
        const char* contains;
    } cases[] = {
        {"form.pdf", Paper::A4, "%PDF-", "/MediaBox [ 0 0 595.27"},
        {"form.PDF", Paper::Letter, "%PDF-", "/MediaBox [ 0 0 612 792 ]"},
        {"form.svg", Paper::A4, "<?xml", "<svg"},
        {"form.png", Paper::A4, kPngSignature, "IHDR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir_ / c.name;
        const auto error = write_form(path.string(), c.paper, 72);
        ASSERT_FALSE(error) << *error;
        const std::string bytes = read_all(path);
        EXPECT_EQ(bytes.substr(0, c.starts_with.size()), c.starts_with);
        EXPECT_NE(bytes.find(c.contains), std::string::npos);
    }
}

TEST_F(WriteForm, PngHasThePageSizeAndRecordsTheResolution) {
    const fs::path path = dir_ / "form.png";
    ASSERT_FALSE(write_form(path.string(), Paper::Letter, 100));
    const std::string png = read_all(path);
    ASSERT_GE(png.size(), 33u + 21u);
    EXPECT_EQ(be32(png, 16), 850u);   // 8.5 in
    EXPECT_EQ(be32(png, 20), 1100u);  // 11 in
    // The resolution chunk follows the header: 100 dpi = 3937 per metre.
    EXPECT_EQ(be32(png, 33), 9u);
    EXPECT_EQ(png.substr(37, 4), "pHYs");
    EXPECT_EQ(be32(png, 41), 3937u);
    EXPECT_EQ(be32(png, 45), 3937u);
    EXPECT_EQ(png[49], 1);
    // Its CRC, as every PNG reader checks it (value from zlib's crc32).
    EXPECT_EQ(be32(png, 50), 0xA83FA769u) << std::hex << be32(png, 50);
}

TEST_F(WriteForm, FailuresNameTheFileAndTheReason) {
    const std::string missing_dir = (dir_ / "no-such-folder" / "form.pdf").string();
    const struct {
        std::string path;
        double dpi;
        std::vector<std::string> says;
    } cases[] = {
        {(dir_ / "form.txt").string(), 300, {"form.txt", ".pdf", ".svg", ".png"}},
        {(dir_ / "form").string(), 300, {".pdf", ".svg", ".png"}},
        {(dir_ / "folder.pdf" / "form").string(), 300, {".pdf", ".svg", ".png"}},
        {missing_dir, 300, {missing_dir, "No such file or directory"}},
        {(dir_ / "small.png").string(), 20, {"small.png", "20 dpi", "36..1200"}},
        {(dir_ / "huge.png").string(), 5000, {"huge.png", "5000 dpi"}},
        {(dir_ / "nan.png").string(), std::nan(""), {"nan.png", "nan dpi"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto error = write_form(c.path, Paper::A4, c.dpi);
        ASSERT_TRUE(error);
        for (const std::string& s : c.says) EXPECT_NE(error->find(s), std::string::npos) << *error;
        EXPECT_FALSE(fs::exists(c.path));
    }
}

TEST_F(WriteForm, DirectoryInTheWayIsReportedNotOverwritten) {
    const fs::path path = dir_ / "taken.pdf";
    fs::create_directory(path);
    const auto error = write_form(path.string(), Paper::A4);
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("taken.pdf"), std::string::npos);
    EXPECT_NE(error->find("Is a directory"), std::string::npos) << *error;
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(WriteForm, RefusedResolutionLeavesAnExistingFileAlone) {
    const fs::path path = dir_ / "old.png";
    std::ofstream(path) << "keep me";
    ASSERT_TRUE(write_form(path.string(), Paper::A4, 10000));
    EXPECT_EQ(read_all(path), "keep me");
}

TEST(PngResolution, LeavesWhatIsNotAPngHeaderUnchanged) {
    const std::string header_only = kPngSignature + std::string("\0\0\0\x0dIHDR", 8) + std::string(17, '\0');
    for (const std::string& bytes : {std::string(), std::string("GIF89a"), kPngSignature,
                                     kPngSignature + std::string("\0\0\0\x0dIDAT", 8) + std::string(17, '\0')})
        EXPECT_EQ(with_png_resolution(bytes, 300), bytes);
    // Added once only.
    const std::string once = with_png_resolution(header_only, 300);
    EXPECT_EQ(once.size(), header_only.size() + 21);
    EXPECT_EQ(with_png_resolution(once, 600), once);
}

}  // namespace
}  // namespace idr::test
