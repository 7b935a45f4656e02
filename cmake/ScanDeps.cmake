# OpenCV (only the modules the scan path needs), poppler's C++ library and
# cairo. Debian's split OpenCV packages ship no CMake package files, so the
# modules are found by hand and gathered into one interface target.
if(TARGET idr_opencv)
  return()
endif()

find_path(IDR_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(idr_opencv INTERFACE)
target_include_directories(idr_opencv SYSTEM INTERFACE ${IDR_OPENCV_INCLUDE_DIR})
foreach(module core imgproc imgcodecs calib3d)
  find_library(IDR_OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
  target_link_libraries(idr_opencv INTERFACE ${IDR_OPENCV_${module}_LIBRARY})
endforeach()

find_package(PkgConfig REQUIRED)
pkg_check_modules(IDR_POPPLER REQUIRED IMPORTED_TARGET GLOBAL poppler-cpp)
pkg_check_modules(IDR_CAIRO REQUIRED IMPORTED_TARGET GLOBAL cairo)
