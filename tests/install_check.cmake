# cmake -DBUILD=<build folder> -DPREFIX=<empty folder> -DCONFIG=<config> -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}" --config "${CONFIG}"
  RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/zantorix share/man/man1/zantorix.1)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
execute_process(COMMAND groff -man -ww -z "${PREFIX}/share/man/man1/zantorix.1"
  RESULT_VARIABLE rendered ERROR_VARIABLE warnings)
if(NOT rendered EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "the manual page does not render cleanly: ${warnings}")
endif()
