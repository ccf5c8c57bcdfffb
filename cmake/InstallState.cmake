# Runs while installing (cmake --install, or CPack's staging install): the install prefix and
# DESTDIR are those of that run. QM_INSTALL_STEP is "links" or "database"; QM_INSTALL_PROGRAM_DIR
# is the program folder below the prefix.
set(qm_prefix "${CMAKE_INSTALL_PREFIX}")
set(qm_program "${qm_prefix}/${QM_INSTALL_PROGRAM_DIR}")
# Variable data goes where Debian keeps it: /var for the prefix /usr, below the prefix otherwise.
if(qm_prefix STREQUAL "/usr")
  set(qm_state "/var/lib/quillmark")
else()
  set(qm_state "${qm_prefix}/var/lib/quillmark")
endif()
set(qm_root "$ENV{DESTDIR}")

function(qm_chmod mode path)
  execute_process(COMMAND chmod ${mode} "${path}" COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# A link is made or renewed; a real file or folder in its place is data, and is never removed.
function(qm_link target name)
  set(path "${qm_root}${name}")
  if(IS_SYMLINK "${path}")
    file(REMOVE "${path}")
  elseif(EXISTS "${path}")
    message(FATAL_ERROR "${path} is not a link. It may hold data: move it to ${target} and install again.")
  endif()
  message(STATUS "Installing: ${path} -> ${target}")
  file(CREATE_LINK "${target}" "${path}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${path}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

if(QM_INSTALL_STEP STREQUAL "links")
  # Every user's program writes here: the database, the journal the engine makes and removes
  # beside it, and exported ledgers (xsl/ is sticky: a user's export is theirs alone to remove).
  file(MAKE_DIRECTORY "${qm_root}${qm_state}/xsl" "${qm_root}${qm_prefix}/bin")
  qm_chmod(0777 "${qm_root}${qm_state}")
  qm_chmod(1777 "${qm_root}${qm_state}/xsl")
  file(RELATIVE_PATH to_program "${qm_prefix}/bin" "${qm_program}/quillmark")
  qm_link("${to_program}" "${qm_prefix}/bin/quillmark")
  qm_link("${qm_state}/qmk.dat" "${qm_program}/qmk.dat")
  qm_link("${qm_state}/xsl" "${qm_program}/xsl")
elseif(QM_INSTALL_STEP STREQUAL "database")
  # Made only when there is none: an existing database is never touched.
  set(db "${qm_root}${qm_state}/qmk.dat")
  if(EXISTS "${db}" OR IS_SYMLINK "${db}")
    message(STATUS "Kept: ${db}")
  else()
    message(STATUS "Making: ${db}")
    execute_process(COMMAND "${qm_root}${qm_program}/qmk-initdb" "${db}" COMMAND_ERROR_IS_FATAL ANY)
    qm_chmod(0666 "${db}")
  endif()
endif()
