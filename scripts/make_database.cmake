# Makes the program's database file only when there is none yet.
if(NOT EXISTS "${DB}")
  execute_process(COMMAND "${INITDB}" "${DB}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not make ${DB}")
  endif()
endif()
