# Each library's includes are checked at every build: what a folder may use is a build
# error, not a promise. quorvane_layer_check(<target> <folder> <regex> [QT <module>...])
# refuses includes whose path matches <regex>, and headers of the Qt modules named.
function(quorvane_layer_check target folder forbidden)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "QT")
  set(qt_dirs "")
  foreach(module IN LISTS arg_QT)
    get_target_property(module_dirs Qt6::${module} INTERFACE_INCLUDE_DIRECTORIES)
    foreach(dir IN LISTS module_dirs)
      if(dir MATCHES "/Qt${module}$")
        list(APPEND qt_dirs "${dir}")
      endif()
    endforeach()
  endforeach()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${folder}/*.cpp" "${folder}/*.h")
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}-layer.stamp")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} -DLIBRARY=${target} -DDIR=${folder} "-DFORBIDDEN=${forbidden}"
            "-DFORBIDDEN_QT_DIRS=${qt_dirs}" -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    DEPENDS ${sources} ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    COMMENT "Checking what ${target} includes" VERBATIM)
  add_custom_target(${target}_layer DEPENDS "${stamp}")
  add_dependencies(${target} ${target}_layer)
endfunction()
