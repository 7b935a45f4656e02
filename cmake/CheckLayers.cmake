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
