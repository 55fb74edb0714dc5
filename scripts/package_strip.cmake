# Run by CPack on the staged package tree before it is packed: strips the compiler's .comment
# notes from every program, as Debian's own packages are stripped (the programs are already
# stripped of symbols by CPACK_STRIP_FILES).
find_program(MZ_OBJCOPY objcopy)
if(NOT MZ_OBJCOPY)
  return()
endif()
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND ${MZ_OBJCOPY} --remove-section=.comment --remove-section=.note
    ${program} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "objcopy failed on ${program}")
  endif()
endforeach()
