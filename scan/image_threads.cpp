#include "scan/image_threads.h"

#include <opencv2/core.hpp>

namespace idr::scan {

void keep_image_work_on_calling_threads() { cv::setNumThreads(1); }

}  // namespace idr::scan
