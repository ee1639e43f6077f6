# A layer keeps its portable sources at the top of its folder and the halves
# that speak to the system in posix/ and win32/, under the same file names:
#   talvek_system_sources(talvek_platform file_status.cpp stop_signals.cpp)
# adds posix/file_status.cpp ... on Linux and win32/file_status.cpp ... on
# Windows to the target, from the calling folder. A missing half is an error
# when CMake configures, not a link error later.
function(talvek_system_sources target)
  if(WIN32)
    set(system win32)
  else()
    set(system posix)
  endif()
  set(sources "")
  foreach(file IN LISTS ARGN)
    set(path ${CMAKE_CURRENT_SOURCE_DIR}/${system}/${file})
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "${target}: ${system}/${file} is missing in ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    list(APPEND sources ${path})
  endforeach()
  target_sources(${target} PRIVATE ${sources})
endfunction()
