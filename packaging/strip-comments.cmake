# Run by CPack over the package's staged files (CPACK_PRE_BUILD_SCRIPTS), after its own strip:
# removes what that strip leaves and Debian's dh_strip removes, the compilers' .comment and .note
# sections of the executables.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")  # ELF
    execute_process(COMMAND "${CPACK_CATPUB_STRIP}" --remove-section=.comment --remove-section=.note
                            "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
