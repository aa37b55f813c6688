# Runs in CPack after the (stripped) install into its staging folder: drops
# the compilers' .comment section from the program, as Debian's own
# packaging tools do.
find_program(OBJCOPY objcopy REQUIRED)
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program ${programs})
  execute_process(COMMAND ${OBJCOPY} --remove-section=.comment --remove-section=.note ${program}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
