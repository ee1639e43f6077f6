# Run by CPack between installing into its staging directory and building the
# package: Debian wants manual pages compressed with gzip -9n, as dh_compress
# leaves them. A plain `cmake --install` keeps them as they are.
# Each package's component has a staging directory of its own below it.
file(GLOB_RECURSE pages LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(page IN LISTS pages)
  if(page MATCHES "/share/man/[^/]+/[^/]+$" AND NOT page MATCHES "\\.gz$" AND NOT IS_SYMLINK "${page}")
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip failed on ${page}")
    endif()
  endif()
endforeach()
