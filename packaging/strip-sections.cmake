# SPDX-License-Identifier: MIT
# CPack pre-build script: removes the .comment and .note sections from every ELF
# file staged for the package (programs, and libraries or plugins if any come).
if(NOT CPACK_STRIP_FILES OR NOT CPACK_QUELVANE_STRIP)
  return()
endif()
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(_file IN LISTS _files)
  if(IS_SYMLINK "${_file}")
    continue()
  endif()
  file(READ "${_file}" _magic LIMIT 4 HEX)
  if(NOT _magic STREQUAL "7f454c46")
    continue()
  endif()
  execute_process(COMMAND "${CPACK_QUELVANE_STRIP}" --remove-section=.comment --remove-section=.note "${_file}"
                  RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "strip failed on ${_file}")
  endif()
endforeach()
