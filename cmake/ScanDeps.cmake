# The libraries of the scan path and of printing: OpenCV (core and imgproc
# only), the image format libraries, poppler's C++ library and libheif (each
# behind a plugin of the program's own, loaded with the first PDF or HEIF
# file) and cairo. Debian's split OpenCV packages ship no CMake package
# files, so the modules are found by hand and gathered into one interface
# target.
if(TARGET idr_opencv)
  return()
endif()

find_path(IDR_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(idr_opencv INTERFACE)
target_include_directories(idr_opencv SYSTEM INTERFACE ${IDR_OPENCV_INCLUDE_DIR})
# A program that sets the property IDR_SCAN_LIBRARIES_ON_FIRST_USE links
# forwarding functions in their place and loads OpenCV and the format
# libraries with its first scan (idr_load_scan_libraries_on_first_use,
# app/lazy).
set(IDR_UNLESS_ON_FIRST_USE "$<NOT:$<BOOL:$<TARGET_PROPERTY:IDR_SCAN_LIBRARIES_ON_FIRST_USE>>>")
foreach(module core imgproc)
  find_library(IDR_OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
  target_link_libraries(idr_opencv INTERFACE "$<${IDR_UNLESS_ON_FIRST_USE}:${IDR_OPENCV_${module}_LIBRARY}>")
endforeach()

find_package(PkgConfig REQUIRED)
# Decoded in the program itself: the formats of nearly every scan.
pkg_check_modules(IDR_JPEG REQUIRED IMPORTED_TARGET GLOBAL libjpeg)
pkg_check_modules(IDR_SPNG REQUIRED IMPORTED_TARGET GLOBAL spng)
pkg_check_modules(IDR_TIFF REQUIRED IMPORTED_TARGET GLOBAL libtiff-4)
pkg_check_modules(IDR_WEBP REQUIRED IMPORTED_TARGET GLOBAL libwebp)
# The three, for scan/: their headers always, the libraries unless loaded on
# first use (as OpenCV above).
add_library(idr_formats INTERFACE)
foreach(format JPEG SPNG WEBP)
  target_include_directories(idr_formats SYSTEM INTERFACE ${IDR_${format}_INCLUDE_DIRS})
  foreach(library IN LISTS IDR_${format}_LINK_LIBRARIES)
    target_link_libraries(idr_formats INTERFACE "$<${IDR_UNLESS_ON_FIRST_USE}:${library}>")
  endforeach()
  list(GET IDR_${format}_LINK_LIBRARIES 0 file)
  set(IDR_${format}_LIBRARY_FILE ${file} CACHE INTERNAL "the library file, for its SONAME (app/lazy)")
endforeach()
# Loaded on first use, through the plugins (scan/plugins/).
pkg_check_modules(IDR_POPPLER REQUIRED IMPORTED_TARGET GLOBAL poppler-cpp)
pkg_check_modules(IDR_HEIF REQUIRED IMPORTED_TARGET GLOBAL libheif)
pkg_check_modules(IDR_CAIRO REQUIRED IMPORTED_TARGET GLOBAL cairo)
