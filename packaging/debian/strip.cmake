# Run by cpack once it has staged and stripped the packages' files: takes off
# the two sections dh_strip also takes off and strip leaves in, the
# compilers' .comment and .note.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/usr/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_ZINDLE_OBJCOPY} --remove-section=.comment
                          --remove-section=.note ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
