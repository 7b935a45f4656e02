#pragma once
// Test pages for the scan reader: an exam page (or a picture of the ID block
// alone) drawn at the resolution of the scan, then turned, bent, lit, blurred,
// noised and compressed the way scanners and phones do it, together with the
// truth a reader must find on it.
//
// Every random choice comes from the page's seed, so a plan gives the same
// pixels on every run and machine.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "tools/pagegen/stack.h"

namespace idr::pagegen {

enum class Kind {
    Scan,       // a flatbed scan of a filled exam page, turned a little
    Photo,      // a phone photo: the page in perspective on a cluttered background
    BlockOnly,  // the ID block alone, scaled and turned, as a PNG (like the built-in sheet)
    BackPage,   // text only: no block
    RingsOnly,  // answer areas only: rings of the block's look but no block
};

// What was done in one column of the block.
enum class Mark {
    Pencil,   // a clean pencil fill, grey 30-150
    Pen,      // a clean pen fill, grey 15-40
    Faint,    // a pencil fill too light to trust, grey 160-200
    Double,   // two bubbles filled
    Blank,    // nothing
    Erased,   // a rubbed-out mark: a light smudge, grey 190-225
    Ticked,   // a tick inside a ring, not filled
    Crossed,  // an X inside a ring, not filled
};

enum class FileFormat { Png, Jpeg, Tiff, Pdf };

struct ColumnMark {
    Mark mark = Mark::Pencil;
    int digit = 0;          // the bubble marked (or smudged, ticked, crossed); unused for Blank
    int second_digit = -1;  // the other bubble of a Double
    int level = 60;         // grey of the fill, 0 = black
};

// Everything that decides a page. Defaults give a clean, upright 200-dpi
// grey scan of a form page with the ID 0123456789 in pencil.
struct PagePlan {
    std::uint64_t seed = 1;  // details below the plan: mark outlines, noise, texts
    Kind kind = Kind::Scan;

    // Paper and resolution. unit_px is page pixels per block unit as drawn,
    // before any turning or perspective; the printed size of the block on
    // the paper follows from unit_px and dpi.
    double paper_width_in = 8.27, paper_height_in = 11.69;  // A4
    double dpi = 200;
    double unit_px = 1.0;

    // Geometry. Positive angles turn the page counter-clockwise as seen on
    // screen. Scans turned by up to 2 degrees keep the page's size and lose
    // what is shifted or turned out of it; turned further, the picture grows
    // to hold the whole page (so does the block alone). Photos: each page
    // corner moves by up to perspective x the page size, and the picture
    // frames the page with margin_frac of background on every side.
    double rotation_deg = 0;
    double shift_x_px = 0, shift_y_px = 0;
    double perspective = 0;
    double margin_frac = 0.12;

    // Page contents.
    bool colour = false;          // keep the maroon printing and pink tint
    bool cream_paper = false;
    bool corner_marks = true;
    bool handwriting = true;      // digits written in the boxes above the columns
    bool ten_wide_grids = false;  // some answer areas are 10 rings wide
    bool fill_answers = true;     // answers marked in the answer areas
    std::array<ColumnMark, 10> columns{};

    // Scanner and camera. gradient, vignette and shadow are the largest loss
    // of light (0..1) each causes.
    int paper_level = 248;  // brightness of bare paper
    double gradient = 0, gradient_angle_deg = 0;
    double vignette = 0;
    double shadow = 0;
    double blur_sigma_px = 0;
    double noise_sigma = 0;       // grey levels
    double speckles_per_mpx = 0;  // dust and toner specks per million pixels
    int jpeg_quality = 0;         // 0: no JPEG round trip, else 40..95

    FileFormat format = FileFormat::Png;

    // What the stack does after the scanner: turned, mirrored, black and
    // white. A bilevel page is written by stack.file, not by format.
    Stack stack;
};

struct Truth {
    std::string file;
    int page = 1;
    int width = 0, height = 0;
    std::string status;   // "ok", "review" or "not-found"
    std::string reading;  // per column: digit, '_' blank, '*' multiple, '?' unsure
    // Page-pixel centres of the bubbles column 1 digit 0, column 10 digit 0,
    // column 10 digit 9, column 1 digit 9; pixel (i, j) is centred on (i, j).
    std::optional<std::array<cv::Point2d, 4>> corners;
    std::optional<double> unit_px;  // page pixels per block unit at the block's centre
    std::string intended;           // the ID the student meant
    std::vector<std::string> marks;   // per column: the Mark's name
    std::vector<std::string> detail;  // per column: the mark with its grey level
    std::string variant;  // the plan in short
    std::string kind;
    std::string format;   // "png", "jpeg", "tiff", "pdf"
    std::string stack;    // the stack treatment in short, empty for none
    int turn = 0;         // quarter turns counter-clockwise, 0, 90, 180 or 270
    bool mirrored = false;
};

struct GeneratedPage {
    cv::Mat image;  // 8-bit grey or BGR, exactly as written (JPEG already applied)
    std::vector<std::uint8_t> jpeg_bytes;  // the JPEG file when the plan asks for one
    std::optional<BilevelFile> bilevel_file;  // image is 0/255 and is written as this 1-bit file
    double dpi = 0;                           // the plan's resolution, for the file's header
    Truth truth;
};

GeneratedPage make_page(const PagePlan& plan);

// A varied plan drawn from `seed` alone.
PagePlan random_plan(std::uint64_t seed, Kind kind);

// The reader's expected answer for one column, and the page's status.
char column_reading(const ColumnMark& m);
std::string page_status(const std::array<ColumnMark, 10>& columns);

const char* kind_name(Kind k);
std::optional<Kind> kind_from_name(const std::string& name);
const char* mark_name(Mark m);
const char* format_name(FileFormat f);

}  // namespace idr::pagegen
