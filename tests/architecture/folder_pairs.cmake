# Fails when two folders of the program include each other's headers, unless
# the pair is listed in ALLOWED (each with its reason in
# docs/architecture.md). A one-way dependency keeps a layer testable and
# movable on its own; a pair that includes both ways is one tangle.
#   cmake -DSOURCE=<repo> -P folder_pairs.cmake
cmake_minimum_required(VERSION 3.25)
set(FOLDERS app records handlers device acquisition display roi analysis files xfit lines cli quant)
# Pairs still tangled because some engine routines take the whole Session
# (app/session.h) rather than the records they need: each entry goes when
# its last include goes. A new pair fails the test.
set(ALLOWED
  app:handlers app:display app:lines acquisition:app display:files display:lines files:lines)

foreach(from IN LISTS FOLDERS)
  set(uses_${from} "")
  file(GLOB_RECURSE sources "${SOURCE}/${from}/*.h" "${SOURCE}/${from}/*.cpp")
  foreach(source IN LISTS sources)
    # Window and drawing files sit above the handlers whatever folder they
    # are in; only the core's files are checked.
    get_filename_component(name "${source}" NAME_WE)
    if(name MATCHES "_(widget|dialog|renderer|window|gui)$")
      continue()
    endif()
    file(STRINGS "${source}" includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" to "${line}")
      if(NOT to STREQUAL from AND to IN_LIST FOLDERS)
        file(RELATIVE_PATH where "${SOURCE}" "${source}")
        list(APPEND uses_${from} "${to}")
        list(APPEND why_${from}_${to} "${where}")
      endif()
    endforeach()
  endforeach()
endforeach()

set(tangled "")
foreach(a IN LISTS FOLDERS)
  foreach(b IN LISTS FOLDERS)
    if(a STRLESS b AND b IN_LIST uses_${a} AND a IN_LIST uses_${b} AND NOT "${a}:${b}" IN_LIST ALLOWED)
      list(REMOVE_DUPLICATES why_${a}_${b})
      list(REMOVE_DUPLICATES why_${b}_${a})
      string(APPEND tangled "\n  ${a} <-> ${b}\n    ${a} -> ${b}: ${why_${a}_${b}}\n    ${b} -> ${a}: ${why_${b}_${a}}")
    endif()
  endforeach()
endforeach()
if(tangled)
  message(FATAL_ERROR "folders that include each other:${tangled}")
endif()
message(STATUS "no two folders include each other")
