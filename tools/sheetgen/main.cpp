// make_sheet OUT.bmp: draws the identification block that the program
// carries as its sheet picture, calibrates it, prints every figure it
// reached and writes it as a 24-bit BMP. The output depends on nothing but
// this code: two runs give the same bytes.

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "picture/bmp.h"
#include "tools/sheetgen/calibrate.h"
#include "tools/sheetgen/figures.h"
#include "tools/sheetgen/sheet.h"

namespace {

// What the finished sheet must give.
constexpr int kPureBlack = 3649;
constexpr int kDiscPixels = 2898;
constexpr int kNearBlack = 3707 - 3649;  // brightness 0 but not pure black
constexpr int kDarkAt35 = 8537;
constexpr int kWhite = 94844 - 69038;  // brightness 255

int fail(const char* step) {
    std::fprintf(stderr, "make_sheet: %s\n", step);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace idr::sheetgen;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sheet OUT.bmp\n");
        return 2;
    }

    Sheet sheet;
    draw_paper(sheet);
    draw_printing(sheet);
    draw_handwriting(sheet);

    const std::vector<Disc> discs = choose_discs(kDiscPixels);
    if (discs.empty()) return fail("no choice of discs gives the disc figures");
    place_discs(sheet, discs);
    const int rule_black = saturate_rules(sheet);
    if (!settle_pen(sheet, kPureBlack - kDiscPixels - rule_black, kNearBlack))
        return fail("the handwriting has too few solid pixels for its pure black");
    if (!settle_cells(sheet, CellTargets{})) return fail("a cell's samples could not be settled");
    settle_shifted(sheet);
    if (!settle_dark_count(sheet, kDarkAt35)) return fail("too few printing pixels to settle the count at 35");
    if (!settle_white_count(sheet, kWhite)) return fail("too few paper pixels to settle the count at 255");

    const idr::Surface surface = sheet.to_surface();
    std::vector<std::string> failures;
    std::printf("discs (column: row, across, pixels, samples):");
    for (const Disc& d : discs) std::printf(" %d:%d,%.2f,%zu,%d", d.column, d.row, 2 * d.radius, d.pixels.size(), d.samples);
    std::printf("\npure black in rules %d, in handwriting %d\n", rule_black, kPureBlack - kDiscPixels - rule_black);
    for (const std::string& l : report(measure(surface), failures)) std::printf("%s\n", l.c_str());

    const std::vector<std::uint8_t> bmp = idr::encode_bmp(surface);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
    if (!out) return fail("cannot write the output file");
    if (!failures.empty()) {
        std::fprintf(stderr, "make_sheet: %zu figure(s) off; the file was written for inspection\n",
                     failures.size());
        return 1;
    }
    std::printf("all figures reached; wrote %s (%zu bytes)\n", argv[1], bmp.size());
    return 0;
}
