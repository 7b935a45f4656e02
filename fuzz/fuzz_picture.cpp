// Feeds arbitrary bytes to the BMP decoder and to the picture-frame reader.
// Whatever decodes must survive encode -> decode unchanged; any difference,
// crash or sanitizer report is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "picture/bmp.h"
#include "picture/framed.h"

namespace {

void check_round_trip(const idr::PictureResult& result, const char* what) {
    if (!result) {
        // A refusal must say which field was wrong.
        if (result.error.field.empty() || result.error.detail.empty()) {
            std::fprintf(stderr, "%s refused without naming a field\n", what);
            std::abort();
        }
        return;
    }
    const idr::Surface& picture = *result.picture;
    const std::vector<std::uint8_t> file = idr::encode_bmp(picture);
    const idr::PictureResult again = idr::decode_bmp(file);
    if (!again || !(*again.picture == picture)) {
        std::fprintf(stderr, "%s: encode -> decode changed the picture\n", what);
        std::abort();
    }
    const idr::PictureResult framed = idr::read_framed_picture(idr::frame_picture(file));
    if (!framed || !(*framed.picture == picture)) {
        std::fprintf(stderr, "%s: frame -> read changed the picture\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    check_round_trip(idr::decode_bmp(bytes), "decode_bmp");
    check_round_trip(idr::read_framed_picture(bytes), "read_framed_picture");
    return 0;
}
