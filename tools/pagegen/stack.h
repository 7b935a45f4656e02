#pragma once
// What a real stack of sheets does to a page after the scanner or camera: a
// sheet fed upside down or sideways, one scanned through the back (mirrored),
// and an office machine's black-and-white mode (a threshold, or error
// diffusion), written as 1-bit files.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include <opencv2/core.hpp>

namespace idr::pagegen {

enum class Bilevel {
    None,
    Threshold,  // every pixel black or white by one cut
    Dither,     // error diffusion (Floyd-Steinberg): grey becomes a field of dots
};

// How a bilevel page is stored.
enum class BilevelFile {
    TiffG4,    // CCITT group 4, the multifunction machines' default
    TiffG3,    // CCITT group 3 (one-dimensional)
    TiffNone,  // uncompressed, one bit a pixel
    Png1,      // 1-bit greyscale PNG
    Pdf,       // a PDF whose page is the 1-bit picture
};

struct Stack {
    // Quarter turns counter-clockwise as seen on screen (as the plan's
    // rotation): 90 puts the page's top at the left.
    int turn = 0;
    bool mirrored = false;  // left and right swapped, before the turn
    Bilevel bilevel = Bilevel::None;
    // The threshold as a share of the paper's brightness (Threshold).
    double cut = 0.5;
    BilevelFile file = BilevelFile::TiffG4;
};

// The kinds of stack page that make_pages --stack picks from.
enum class StackKind { Upright, Turned, Mirrored, Bw, Dither };
const char* stack_kind_name(StackKind k);
std::optional<StackKind> stack_kind_from_name(const std::string& name);

// A stack treatment of the given kind drawn from `seed`.
Stack random_stack(std::uint64_t seed, StackKind kind);

// The darkest a clean pencil fill may be and still survive a threshold at
// `cut` as a fill (its stroked texture is up to this much lighter in places).
int darkest_surviving_pencil(double cut);

// Mirrors and turns the picture (8-bit grey or BGR); `map` then takes a
// point of the picture before (pixel centres at integers) to the picture after.
struct Turned {
    cv::Mat image;
    cv::Matx33d map;
};
Turned turn_picture(const cv::Mat& image, const Stack& stack);

// The picture as 0 (black) and 255 (white), one channel. `paper` is the bare
// paper's brightness, for the threshold's cut.
cv::Mat make_bilevel(const cv::Mat& image, const Stack& stack, int paper);

// Short text for the truth's variant, e.g. "turn 180", "mirrored", "bw 0.47 g4".
std::string stack_text(const Stack& stack);
const char* bilevel_file_name(BilevelFile f);

}  // namespace idr::pagegen
