#include "tools/pagegen/stack.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tools/pagegen/random.h"

namespace idr::pagegen {

const char* stack_kind_name(StackKind k) {
    switch (k) {
    case StackKind::Upright: return "upright";
    case StackKind::Turned: return "turned";
    case StackKind::Mirrored: return "mirrored";
    case StackKind::Bw: return "bw";
    case StackKind::Dither: return "dither";
    }
    return "?";
}

std::optional<StackKind> stack_kind_from_name(const std::string& name) {
    for (StackKind k : {StackKind::Upright, StackKind::Turned, StackKind::Mirrored, StackKind::Bw, StackKind::Dither})
        if (name == stack_kind_name(k)) return k;
    return std::nullopt;
}

const char* bilevel_file_name(BilevelFile f) {
    switch (f) {
    case BilevelFile::TiffG4: return "g4";
    case BilevelFile::TiffG3: return "g3";
    case BilevelFile::TiffNone: return "tiff-none";
    case BilevelFile::Png1: return "png1";
    case BilevelFile::Pdf: return "pdf";
    }
    return "?";
}

namespace {

BilevelFile random_file(Random& rng) {
    const double roll = rng.unit();
    if (roll < 0.55) return BilevelFile::TiffG4;
    if (roll < 0.75) return BilevelFile::Png1;
    if (roll < 0.85) return BilevelFile::TiffG3;
    if (roll < 0.9) return BilevelFile::TiffNone;
    return BilevelFile::Pdf;
}

}  // namespace

Stack random_stack(std::uint64_t seed, StackKind kind) {
    Random rng(seed ^ 0x57AC4ED5ull);
    Stack s;
    switch (kind) {
    case StackKind::Upright: break;
    case StackKind::Turned: s.turn = 90 * rng.between(1, 3); break;
    case StackKind::Mirrored: {
        // Mostly left-right (through the back of thin paper, a mirroring
        // camera), now and then top-bottom (a half turn on top).
        const double roll = rng.unit();
        s.mirrored = true;
        s.turn = roll < 0.7 ? 0 : roll < 0.9 ? 180 : 90 * (rng.chance(0.5) ? 1 : 3);
        break;
    }
    case StackKind::Bw:
    case StackKind::Dither:
        s.bilevel = kind == StackKind::Bw ? Bilevel::Threshold : Bilevel::Dither;
        s.cut = rng.between(0.4, 0.6);
        s.file = random_file(rng);
        // Black-and-white stacks are fed as carelessly as any other.
        if (rng.chance(0.15)) s.turn = 180;
        break;
    }
    return s;
}

int darkest_surviving_pencil(double cut) { return static_cast<int>(255 * cut) - 35; }

Turned turn_picture(const cv::Mat& image, const Stack& stack) {
    Turned out{image, cv::Matx33d::eye()};
    const double w = image.cols, h = image.rows;
    if (stack.mirrored) {
        // Into a picture of its own: the caller's pixels stay as they were.
        cv::Mat flipped;
        cv::flip(image, flipped, 1);
        out.image = flipped;
        out.map = cv::Matx33d(-1, 0, w - 1, 0, 1, 0, 0, 0, 1);
    }
    const cv::Mat src = out.image;
    out.image = cv::Mat();
    switch (((stack.turn % 360) + 360) % 360) {
    case 90:  // the top goes to the left: (x, y) -> (y, w - 1 - x)
        cv::rotate(src, out.image, cv::ROTATE_90_COUNTERCLOCKWISE);
        out.map = cv::Matx33d(0, 1, 0, -1, 0, w - 1, 0, 0, 1) * out.map;
        break;
    case 180:
        cv::rotate(src, out.image, cv::ROTATE_180);
        out.map = cv::Matx33d(-1, 0, w - 1, 0, -1, h - 1, 0, 0, 1) * out.map;
        break;
    case 270:  // the top goes to the right: (x, y) -> (h - 1 - y, x)
        cv::rotate(src, out.image, cv::ROTATE_90_CLOCKWISE);
        out.map = cv::Matx33d(0, -1, h - 1, 1, 0, 0, 0, 0, 1) * out.map;
        break;
    default: out.image = src; break;
    }
    return out;
}

cv::Mat make_bilevel(const cv::Mat& image, const Stack& stack, int paper) {
    cv::Mat grey;
    if (image.channels() == 3) cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    else grey = image;
    cv::Mat out(grey.size(), CV_8UC1);
    if (stack.bilevel == Bilevel::Threshold) {
        const double cut = stack.cut * paper;
        cv::threshold(grey, out, cut, 255, cv::THRESH_BINARY);
        return out;
    }
    // Floyd-Steinberg, left to right on every row, errors carried in floats
    // on two rows.
    const int w = grey.cols;
    std::vector<float> here(static_cast<std::size_t>(w) + 2, 0.f), next(here.size(), 0.f);
    const float cut = static_cast<float>(stack.cut * paper);
    for (int y = 0; y < grey.rows; ++y) {
        std::fill(next.begin(), next.end(), 0.f);
        const std::uint8_t* in = grey.ptr<std::uint8_t>(y);
        std::uint8_t* o = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < w; ++x) {
            const float v = static_cast<float>(in[x]) + here[static_cast<std::size_t>(x) + 1];
            const float set = v >= cut ? 255.f : 0.f;
            o[x] = static_cast<std::uint8_t>(set);
            const float e = v - set;
            here[static_cast<std::size_t>(x) + 2] += e * 7.f / 16.f;
            next[static_cast<std::size_t>(x)] += e * 3.f / 16.f;
            next[static_cast<std::size_t>(x) + 1] += e * 5.f / 16.f;
            next[static_cast<std::size_t>(x) + 2] += e * 1.f / 16.f;
        }
        std::swap(here, next);
    }
    return out;
}

std::string stack_text(const Stack& s) {
    std::string out;
    auto add = [&](const std::string& part) { out += (out.empty() ? "" : " ") + part; };
    if (s.mirrored) add("mirrored");
    if (s.turn != 0) add("turn " + std::to_string(s.turn));
    if (s.bilevel != Bilevel::None) {
        char buf[64];
        if (s.bilevel == Bilevel::Threshold) std::snprintf(buf, sizeof buf, "bw at %.2f", s.cut);
        else std::snprintf(buf, sizeof buf, "dither at %.2f", s.cut);
        add(std::string(buf) + " " + bilevel_file_name(s.file));
    }
    return out;
}

}  // namespace idr::pagegen
