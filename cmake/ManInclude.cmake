# Run with cmake -P: writes OUTPUT, a help2man include file made of the static
# sections in EXTRA and, when COMMANDS is given, a COMMANDS section holding
# each command's own --help text (PROGRAM COMMAND --help), so that the manual
# lists every command's options.
file(READ ${EXTRA} sections)
set(commands_section "")
if(COMMANDS)
  string(REPLACE "," ";" command_list "${COMMANDS}")
  set(commands_section "[COMMANDS]\n")
  foreach(command IN LISTS command_list)
    execute_process(COMMAND ${PROGRAM} ${command} --help
                    OUTPUT_VARIABLE help RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${PROGRAM} ${command} --help failed: ${result}")
    endif()
    # roff: a backslash is written \e, and a line must not start with . or '.
    string(REPLACE "\\" "\\e" help "${help}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
    string(APPEND commands_section ".SS ${command}\n.nf\n${help}.fi\n")
  endforeach()
  string(APPEND commands_section "\n")
endif()
file(WRITE ${OUTPUT} "${commands_section}${sections}")
