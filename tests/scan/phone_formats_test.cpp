// HEIC and AVIF pages read as the command line reads them: the sample
// photo saved as a phone saves it (HEIC, stored on its side with the
// rotation that turns it upright) and a sample scan saved as AVIF, both
// made at test time from the sample scans beside the checkout.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>

#include "scan/load.h"
#include "scan/read_page.h"
#include "test_images.h"

namespace idr::test {
namespace {

using namespace idr::scan;
namespace fs = std::filesystem;

const fs::path kSamples = fs::path(IDR_SOURCE_DIR) / ".." / "shared" / "scans" / "sample";

cv::Mat load_whole(const fs::path& path) {
    auto opened = open_scan(path.string());
    if (!std::holds_alternative<std::unique_ptr<PageSource>>(opened)) return {};
    auto page = std::get<std::unique_ptr<PageSource>>(opened)->page(1, PixelKind::Colour);
    return std::holds_alternative<Page>(page) ? std::get<Page>(page).image : cv::Mat();
}

// Open, decode and read one page the way id-reader-cli does.
PageResult read_file(const fs::path& path) {
    auto opened = open_scan(path.string());
    if (auto* e = std::get_if<LoadError>(&opened)) {
        PageResult failed;
        failed.status = "unreadable";
        failed.why = e->message;
        return failed;
    }
    PageSource& source = *std::get<std::unique_ptr<PageSource>>(opened);
    const PixelKind kind = source.declared_grey(1) ? PixelKind::Grey : PixelKind::Colour;
    const cv::Size size = source.declared_size(1);
    const int reduction = source.can_reduce() && std::max(size.width, size.height) >= 3000 ? 2 : 1;
    auto page = source.page(1, kind, reduction);
    if (auto* e = std::get_if<LoadError>(&page)) {
        PageResult failed;
        failed.status = "unreadable";
        failed.why = e->message;
        return failed;
    }
    PagePicture picture;
    picture.image = std::get<Page>(page).image;
    picture.full_size = std::get<Page>(page).full_size;
    picture.reduction = std::get<Page>(page).reduction;
    return read_page(std::move(picture));
}

TEST(PhoneFormats, HeicPhotoAndAvifScanReadTheirTruth) {
    if (!fs::exists(kSamples / "truth.jsonl")) {
        GTEST_SKIP() << "no sample scans at " << kSamples;
    }
    std::map<std::string, std::string> truth;  // file -> reading
    std::ifstream lines(kSamples / "truth.jsonl");
    for (std::string line; std::getline(lines, line);) {
        const auto record = nlohmann::json::parse(line);
        if (record["page"] == 1) truth[record["file"].get<std::string>()] = record["reading"].get<std::string>();
    }
    const fs::path dir = fs::temp_directory_path() / ("idr-phone-formats-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    struct Case {
        const char* from;  // the sample it is made of
        const char* file;
        HeifOptions options;
        bool stored_on_its_side;
    };
    const Case cases[] = {
        {"p0007.jpg", "photo.heic", {.avif = false, .quality = 85, .orientation = 6}, true},
        {"p0001.png", "scan.avif", {.avif = true, .quality = 80}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        cv::Mat picture = load_whole(kSamples / c.from);
        ASSERT_FALSE(picture.empty());
        // A phone held upright stores the picture turned a quarter
        // anticlockwise and says "turn clockwise to show".
        if (c.stored_on_its_side) cv::rotate(picture, picture, cv::ROTATE_90_COUNTERCLOCKWISE);
        const std::string bytes = heif_file(picture, c.options);
        ASSERT_FALSE(bytes.empty());
        std::ofstream(dir / c.file, std::ios::binary) << bytes;
        EXPECT_TRUE(has_scan_extension(c.file));
        const PageResult result = read_file(dir / c.file);
        EXPECT_EQ(result.status, "ok") << result.why;
        EXPECT_EQ(result.reading, truth[c.from]);
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace idr::test
