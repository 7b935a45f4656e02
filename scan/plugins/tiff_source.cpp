// The TIFF plugin: every page of a TIFF, each found by its directory's place
// in the file, decoded by libtiff (tiff_file.h). Built as id-reader-tiff.so
// and loaded with the first TIFF: libtiff brings five compression libraries
// of its own, which no other run needs.

#include <algorithm>
#include <exception>

#include "scan/load_checks.h"
#include "scan/page_pixels.h"
#include "scan/plugin_abi.h"
#include "scan/plugins/tiff_file.h"

namespace idr::scan {
namespace {

// The file is opened by libtiff on the first page asked for, and read from
// memory or from the file itself (one page at a time, so a 2000-page TIFF
// never is in memory whole).
class TiffSource final : public PageSource {
public:
    TiffSource(std::string name, ImageHeader header, std::string bytes, std::string path, const LoadLimits& limits)
        : name_(std::move(name)), header_(std::move(header)), bytes_(std::move(bytes)), path_(std::move(path)),
          limits_(limits) {}

    int page_count() const override { return static_cast<int>(header_.pages.size()); }

    cv::Size declared_size(int number) const override {
        if (number < 1 || number > page_count()) return {};
        return shown_size(header_.pages[static_cast<std::size_t>(number - 1)]);
    }

    bool declared_grey(int number) const override { return scan::declared_grey(header_, number); }

    std::variant<Page, LoadError> page(int number, PixelKind kind, int reduction) override {
        const auto checked = declared_page(name_, header_, number, reduction, limits_);
        if (const auto* error = std::get_if<LoadError>(&checked)) return *error;
        const PageHeader& declared = *std::get<const PageHeader*>(checked);
        return guarded(name_, number, [&]() -> std::variant<Page, LoadError> {
            if (!file_) {
                // The largest buffer libtiff may need for itself: a strip of
                // the whole page at 16 bits and four samples.
                const std::uint64_t room = std::max<std::uint64_t>(64u << 20, limits_.max_page_pixels * 8);
                auto opened = path_.empty() ? TiffFile::open_bytes(bytes_, room) : TiffFile::open_path(path_, room);
                if (const auto* why = std::get_if<std::string>(&opened)) {
                    return page_error(name_, number, "could not be decoded: the file " + *why);
                }
                file_ = std::move(std::get<std::unique_ptr<TiffFile>>(opened));
            }
            auto decoded = file_->page(declared.directory, kind);
            if (const auto* why = std::get_if<std::string>(&decoded)) {
                return page_error(name_, number, "could not be decoded: the page " + *why);
            }
            TiffPage& got = std::get<TiffPage>(decoded);
            if (auto error = check_decoded_size(name_, number, got.pixels.size(), declared.width, declared.height)) {
                return *error;
            }
            Page page;
            page.number = number;
            page.image = upright(to_page_pixels(std::move(got.pixels), kind, got.alpha), got.orientation);
            page.full_size = page.image.size();
            return page;
        });
    }

private:
    std::string name_;
    ImageHeader header_;
    std::string bytes_;
    std::string path_;
    LoadLimits limits_;
    std::unique_ptr<TiffFile> file_;
};

}  // namespace
}  // namespace idr::scan

extern "C" __attribute__((visibility("default"))) void idr_plugin_open(idr::scan::plugin::OpenRequest* request,
                                                                       idr::scan::plugin::OpenResult* result) {
    *result = std::unique_ptr<idr::scan::PageSource>(std::make_unique<idr::scan::TiffSource>(
        std::move(request->name), std::move(request->header), std::move(request->bytes), std::move(request->path),
        request->limits));
}
