// The drawn-picture PNG writer: every picture it writes must read back, through
// the loader's own PNG decoder (libspng over zlib, which checks the stream's
// checksums and the chunks' CRCs), to exactly its pixels; and it refuses what
// it cannot write instead of writing something else.

#include "scan/png_writer.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include "scan/png_decoder.h"

namespace idr::test {
namespace {

struct Picture {
    std::string name;
    cv::Mat pixels;  // 8-bit grey or BGR
};

cv::Mat noise(int w, int h, int type, unsigned seed) {
    cv::Mat m(h, w, type);
    cv::RNG random(seed);
    random.fill(m, cv::RNG::UNIFORM, 0, 256);
    return m;
}

// Byte values as often as the Fibonacci numbers, in random order: a skewed
// enough count of literals that a plain Huffman code would need codes longer
// than deflate's 15 bits.
cv::Mat fibonacci_levels() {
    std::vector<std::uint8_t> bytes;
    std::uint32_t a = 1, b = 1;
    for (int v = 0; v < 26; ++v) {
        bytes.insert(bytes.end(), a, static_cast<std::uint8_t>(v * 9));
        const std::uint32_t next = a + b;
        a = b;
        b = next;
    }
    std::shuffle(bytes.begin(), bytes.end(), std::mt19937(7));
    const int w = 1000;
    const int h = static_cast<int>(bytes.size()) / w;
    cv::Mat m(h, w, CV_8UC1);
    std::copy_n(bytes.begin(), static_cast<std::size_t>(w) * h, m.data);
    return m;
}

// Something like a review picture: paper, a grey block enlarged five times
// pixel by pixel, coloured rings and text drawn smooth.
cv::Mat drawn() {
    cv::Mat img(600, 700, CV_8UC3, cv::Scalar(255, 255, 255));
    cv::Mat block;
    cv::cvtColor(noise(80, 100, CV_8UC1, 3), block, cv::COLOR_GRAY2BGR);
    cv::resize(block, img(cv::Rect(10, 10, 400, 500)), {400, 500}, 0, 0, cv::INTER_NEAREST);
    for (int k = 0; k < 10; ++k)
        cv::circle(img, {40 + 36 * k, 60 + 40 * k}, 15, cv::Scalar(115, 158, 0), 4, cv::LINE_AA);
    cv::putText(img, "ok   reading 0123456789", {20, 560}, cv::FONT_HERSHEY_DUPLEX, 1.0, cv::Scalar(0, 60, 213), 2,
                cv::LINE_AA);
    return img;
}

std::vector<Picture> pictures() {
    std::vector<Picture> out;
    out.push_back({"one grey pixel", cv::Mat(1, 1, CV_8UC1, cv::Scalar(77))});
    out.push_back({"one colour pixel", cv::Mat(1, 1, CV_8UC3, cv::Scalar(1, 2, 3))});
    out.push_back({"white page", cv::Mat(866, 872, CV_8UC3, cv::Scalar(255, 255, 255))});
    out.push_back({"one column", noise(1, 3000, CV_8UC1, 1)});
    out.push_back({"one row", noise(5000, 1, CV_8UC3, 2)});
    // Rows longer than deflate's 32 KB window: no match with the row above.
    out.push_back({"rows wider than the window", cv::Mat(40, 12000, CV_8UC3, cv::Scalar(9, 200, 9))});
    // Incompressible: literals only, over many blocks.
    out.push_back({"colour noise", noise(300, 300, CV_8UC3, 4)});
    out.push_back({"grey noise", noise(257, 259, CV_8UC1, 5)});
    out.push_back({"skewed levels", fibonacci_levels()});
    {
        cv::Mat stripes(64, 64, CV_8UC3);
        for (int y = 0; y < stripes.rows; ++y) stripes.row(y).setTo(cv::Scalar(y * 4, 255 - y * 4, (y % 2) * 255));
        out.push_back({"each row one colour", stripes});
    }
    {
        cv::Mat ramp(50, 256, CV_8UC1);
        for (int x = 0; x < 256; ++x) ramp.col(x).setTo(x);
        out.push_back({"grey ramp", ramp});
    }
    out.push_back({"drawn picture", drawn()});
    {
        cv::Mat big = drawn();
        out.push_back({"rows apart (a region of a larger picture)", big(cv::Rect(13, 7, 301, 203))});
    }
    return out;
}

TEST(DrawnPngTest, EveryPictureReadsBackToItsPixels) {
    for (const Picture& p : pictures()) {
        SCOPED_TRACE(p.name);
        cv::Mat rgb;
        if (p.pixels.channels() == 3) {
            cv::cvtColor(p.pixels, rgb, cv::COLOR_BGR2RGB);
        } else {
            rgb = p.pixels;
        }
        const std::vector<std::uint8_t> png =
            scan::write_drawn_png(rgb.data, rgb.cols, rgb.rows, rgb.channels(), rgb.step[0]);
        ASSERT_FALSE(png.empty());
        const auto decoded = scan::decode_png(
            std::string_view(reinterpret_cast<const char*>(png.data()), png.size()),
            p.pixels.channels() == 3 ? scan::PixelKind::Colour : scan::PixelKind::Grey);
        ASSERT_TRUE(std::holds_alternative<cv::Mat>(decoded)) << std::get<std::string>(decoded);
        const cv::Mat& back = std::get<cv::Mat>(decoded);
        ASSERT_EQ(back.size(), p.pixels.size());
        ASSERT_EQ(back.type(), p.pixels.type());
        EXPECT_EQ(cv::norm(back, p.pixels, cv::NORM_INF), 0);
    }
}

TEST(DrawnPngTest, DrawnPicturesComeOutSmall) {
    // Paper and repeated rows cost next to nothing: a white review-sized
    // page is a few kilobytes, not its 2.3 MB of pixels.
    const cv::Mat white(866, 872, CV_8UC3, cv::Scalar(255, 255, 255));
    EXPECT_LT(scan::write_drawn_png(white.data, white.cols, white.rows, 3, white.step[0]).size(), 20'000u);
}

TEST(DrawnPngTest, RefusesWhatItCannotWrite) {
    const std::uint8_t pixel[4] = {1, 2, 3, 4};
    struct Case {
        const char* what;
        const std::uint8_t* pixels;
        int width, height, channels;
    };
    const Case cases[] = {
        {"no pixels", nullptr, 1, 1, 3},
        {"no width", pixel, 0, 1, 3},
        {"no height", pixel, 1, 0, 1},
        {"a negative size", pixel, -4, 2, 1},
        {"two channels", pixel, 1, 1, 2},
        {"four channels", pixel, 1, 1, 4},
        // Refused from its size alone, before a pixel is read.
        {"larger than the limit", pixel, 1 << 20, 1 << 10, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(scan::write_drawn_png(c.pixels, c.width, c.height, c.channels, 3).empty());
    }
}

}  // namespace
}  // namespace idr::test
