# Installing id-reader like any desktop program, and the Debian package.
#
#   cmake --install BUILD --prefix /usr [--component ...]    (or DESTDIR=... cmake --install BUILD)
#   scripts/check_package.sh BUILD                            builds and checks the .deb
#
# Installs both programs, their format plugins, the .desktop entry, the AppStream metainfo, the
# icon (SVG and PNG sizes), man pages generated from the programs' --help, and
# bash completion for id-reader-cli. The one version number is project()'s.
include(GNUInstallDirs)

# Sanitizer and fuzzing builds are for the tests only; nothing of theirs is
# installed.
if(IDR_SANITIZE OR IDR_FUZZ)
  return()
endif()

# The desktop entry's and the metainfo's name. Reverse-DNS of the repository
# address below (hyphens become underscores); it must stay fixed once
# released, since software centres key installed apps by it.
set(IDR_APP_ID "io.github.id_reader.id_reader")
set(IDR_REPOSITORY_URL "https://github.com/id-reader/id-reader" CACHE STRING
    "Public home of the project: the metainfo's homepage and screenshot addresses, the package's Homepage")
set(IDR_PACKAGE_MAINTAINER "id-reader developers <id-reader@users.noreply.github.com>" CACHE STRING
    "Maintainer field of the Debian package")
# Date of the release named by project(VERSION); change both together.
set(IDR_RELEASE_DATE "2026-12-08")

# Raw file addresses of the screenshots in the repository's docs/ folder.
string(REGEX REPLACE "^https://github.com/" "https://raw.githubusercontent.com/" IDR_SCREENSHOT_BASE_URL
       "${IDR_REPOSITORY_URL}")
set(IDR_SCREENSHOT_BASE_URL "${IDR_SCREENSHOT_BASE_URL}/main/docs")

set(IDR_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(IDR_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${IDR_PACKAGING_OUT}/man ${IDR_PACKAGING_OUT}/icons)

# --- programs ----------------------------------------------------------------
set(IDR_PROGRAMS id-reader-cli)
if(TARGET id-reader)
  list(APPEND IDR_PROGRAMS id-reader)
endif()
install(TARGETS ${IDR_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The format plugins (scan/plugin.h), which the programs look for beside
# their bin folder: ../lib/id-reader.
set(IDR_PLUGINS idr_plugin_pdf idr_plugin_heif idr_plugin_tiff)
install(TARGETS ${IDR_PLUGINS} LIBRARY DESTINATION ${IDR_PLUGIN_INSTALL_DIR})

# --- desktop entry, metainfo ---------------------------------------------------
if(TARGET id-reader)
  install(FILES ${IDR_PACKAGING_DIR}/${IDR_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${IDR_PACKAGING_DIR}/id-reader.metainfo.xml.in ${IDR_PACKAGING_OUT}/${IDR_APP_ID}.metainfo.xml
                 @ONLY)
  install(FILES ${IDR_PACKAGING_OUT}/${IDR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# --- icons: the SVG as drawn, PNG sizes rendered from it -----------------------
set(IDR_ICON_SVG ${IDR_PACKAGING_DIR}/id-reader.svg)
set(IDR_ICON_SIZES 16 22 24 32 48 64 128 256)
install(FILES ${IDR_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(IDR_RSVG_CONVERT rsvg-convert)
if(IDR_RSVG_CONVERT)
  set(IDR_ICON_PNGS)
  foreach(size ${IDR_ICON_SIZES})
    set(png ${IDR_PACKAGING_OUT}/icons/${size}x${size}/id-reader.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${IDR_PACKAGING_OUT}/icons/${size}x${size}
      COMMAND ${IDR_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${IDR_ICON_SVG}
      DEPENDS ${IDR_ICON_SVG}
      COMMENT "Icon ${size}x${size}"
      VERBATIM)
    list(APPEND IDR_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(idr_icons ALL DEPENDS ${IDR_ICON_PNGS})
else()
  message(WARNING "rsvg-convert not found (Debian package librsvg2-bin): only the SVG icon is installed")
endif()

# --- man pages, generated from --help so they cannot drift from it -------------
# help2man is given the version rather than asking --version, so the page's
# header does not depend on how a program words its version line.
find_program(IDR_HELP2MAN help2man)
if(IDR_HELP2MAN)
  set(IDR_MAN_PAGES)
  set(idr_man_name_id-reader "read the student ID block of an answer sheet in a window")
  set(idr_man_name_id-reader-cli "read the student ID block of answer sheets without a window")
  foreach(program ${IDR_PROGRAMS})
    set(page ${IDR_PACKAGING_OUT}/man/${program}.1)
    # No display is needed: both programs answer --help before any window
    # system is touched. DISPLAY is cleared to keep it that way.
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
              ${IDR_HELP2MAN} --no-info --section=1 --name=${idr_man_name_${program}}
              --version-string=${PROJECT_VERSION} --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program}
      COMMENT "Man page ${program}(1)"
      VERBATIM)
    list(APPEND IDR_MAN_PAGES ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(idr_man_pages ALL DEPENDS ${IDR_MAN_PAGES})
else()
  message(WARNING "help2man not found (Debian package help2man): no man pages")
endif()

# --- bash completion -------------------------------------------------------------
install(FILES ${IDR_PACKAGING_DIR}/id-reader-cli.bash RENAME id-reader-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Everything the package holds, for building it without the tests and
# benchmarks (scripts/check_package.sh builds this, then runs cpack).
add_custom_target(idr_package_contents)
add_dependencies(idr_package_contents ${IDR_PROGRAMS} ${IDR_PLUGINS})
foreach(extra idr_icons idr_man_pages)
  if(TARGET ${extra})
    add_dependencies(idr_package_contents ${extra})
  endif()
endforeach()

# --- Debian package --------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME id-reader)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "id-reader developers")
set(CPACK_PACKAGE_CONTACT "${IDR_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read the student ID block of scanned multiple-choice answer sheets")
set(CPACK_PACKAGE_DESCRIPTION
    "id-reader reads the student-identification block of a scanned answer sheet: a 10 x 10 grid of\n\
bubbles, one filled in per digit column. The window (id-reader) takes the sheet through\n\
four steps, one button each. id-reader-cli runs the same steps without a window.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${IDR_REPOSITORY_URL}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${IDR_PACKAGE_MAINTAINER}")
# Shared libraries come from dpkg-shlibdeps (dpkg-dev); the window's fonts are
# loaded by family name at run time, so no library check can find them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# cairo and libxlsxwriter are opened with dlopen() (app/lazy), so no library
# check sees them either; nor, in id-reader-cli, OpenCV and the format
# libraries (which the window links, but a build without the window does not).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libcairo2, libxlsxwriter4, libopencv-core406, libopencv-imgproc406, libjpeg62-turbo, libspng0, libwebp7")
if(TARGET id-reader)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", fonts-dejavu-core, fonts-tlwg-loma")
endif()
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/package)
include(CPack)
