# Core files must not depend on Qt. Every source or header in the subsystem
# folders is core unless its name marks it as window or drawing code
# (*_widget, *_dialog, *_renderer, *_window, *_gui). A Qt include in a core
# file is a configure error that names the file.
function(tolvane_check_core_folders)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS
      "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h" "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp")
    foreach(f IN LISTS files)
      get_filename_component(name "${f}" NAME_WE)
      if(name MATCHES "_(widget|dialog|renderer|window|gui)$")
        continue()
      endif()
      file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
      if(hits)
        message(FATAL_ERROR "core file ${f} includes Qt: ${hits}")
      endif()
    endforeach()
  endforeach()
endfunction()
