# Run by cpack on its staging copy, before it packs: strips the program the way Debian's own
# packages are stripped (dh_strip), compiler notes included, so the package carries no debug
# information while the build tree keeps it.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note "${program}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
