# Configure-time guard of the layering. Stops configure when a target links,
# directly or through other targets, a library it must not use:
#   check_core_links(TARGETS t... [FORBID pattern...])
# Each FORBID entry is a regular expression matched against every linked
# item: a target name (Qt6::Widgets, PkgConfig::IDR_CAIRO, idr_opencv) or a
# library path (/usr/lib/.../libopencv_core.so). An interface target is also
# checked by what it links, so a wrapper target cannot hide a library.

# Qt, OpenCV, poppler and cairo, by target name or library path.
set(IDR_QT_PATTERN "(^|[/:])[Qq]t[0-9]*(::|[A-Z]|$)|libQt[0-9]")
set(IDR_OPENCV_PATTERN "[Oo]pen[Cc][Vv]|opencv")
set(IDR_POPPLER_PATTERN "[Pp][Oo][Pp][Pp][Ll][Ee][Rr]")
set(IDR_CAIRO_PATTERN "[Cc][Aa][Ii][Rr][Oo]")

function(_idr_collect_links target out)
  set(all "")
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(libs ${target} ${property})
    if(NOT libs)
      continue()
    endif()
    foreach(lib IN LISTS libs)
      # $<LINK_ONLY:x> and similar wrappers: check what they wrap.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
      list(APPEND all "${lib}")
      if(TARGET ${lib})
        _idr_collect_links(${lib} sub)
        list(APPEND all ${sub})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES all)
  set(${out} ${all} PARENT_SCOPE)
endfunction()

function(check_core_links)
  cmake_parse_arguments(ARG "" "WHY" "TARGETS;FORBID" ${ARGN})
  foreach(target IN LISTS ARG_TARGETS)
    if(NOT TARGET ${target})
      continue()  # a layer with no sources yet (scan/, printing/)
    endif()
    _idr_collect_links(${target} links)
    foreach(lib IN LISTS links)
      foreach(pattern IN LISTS ARG_FORBID)
        if(lib MATCHES "${pattern}")
          message(FATAL_ERROR "${target} links ${lib}: ${ARG_WHY}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# The project's folders that an include can name ("scan/load.h"); other
# quoted includes (a test's own "run_cli.h") are not checked.
set(IDR_INCLUDE_ROOTS rules picture form assets reading scan printing review app tools tests)

# Configure-time guard of the include direction. Stops configure when a
# source or header in DIR includes a project header outside the folders of
# ALLOW, e.g. review/ including app/cli/ or scan/ including printing/:
#   check_includes(DIR dir ALLOW folder...)
# Folders may be nested ("app/cli"). The files are read at configure time,
# so an include added later is caught on the next configure (the build
# reconfigures when a source file is added, not when one is edited).
function(check_includes)
  cmake_parse_arguments(ARG "" "DIR" "ALLOW" ${ARGN})
  list(JOIN IDR_INCLUDE_ROOTS "|" roots)
  list(JOIN ARG_ALLOW "|" allowed)
  file(GLOB_RECURSE files ${PROJECT_SOURCE_DIR}/${ARG_DIR}/*.cpp ${PROJECT_SOURCE_DIR}/${ARG_DIR}/*.h)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
      if(included MATCHES "^(${roots})/" AND NOT included MATCHES "^(${allowed})/")
        file(RELATIVE_PATH where ${PROJECT_SOURCE_DIR} ${file})
        message(FATAL_ERROR "${where} includes \"${included}\": ${ARG_DIR}/ may include only ${ARG_ALLOW}")
      endif()
    endforeach()
  endforeach()
endfunction()
