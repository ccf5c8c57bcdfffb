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
# The settings an administrator writes (qmk.server, which names a database server) go where Debian
# keeps configuration: /etc for the prefix /usr, below the prefix otherwise.
if(qm_prefix STREQUAL "/usr")
  set(qm_config "/etc/quillmark")
else()
  set(qm_config "${qm_prefix}/etc/quillmark")
endif()
set(qm_root "$ENV{DESTDIR}")

# The shared folders and the database are laid out by the script the package's postinst runs
# too: it never changes a path that another user could swap under it. Extra arguments go to it.
function(qm_setup_data)
  execute_process(COMMAND sh "${qm_root}${qm_program}/quillmark-setup-data" "${qm_root}${qm_state}" ${ARGN}
                  COMMAND_ERROR_IS_FATAL ANY)
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
  # A staging install (DESTDIR, as CPack makes the package) carries no shared folders: the
  # package's postinst makes them on the computer it is installed on.
  if(qm_root STREQUAL "")
    qm_setup_data()
  endif()
  file(MAKE_DIRECTORY "${qm_root}${qm_prefix}/bin")
  file(RELATIVE_PATH to_program "${qm_prefix}/bin" "${qm_program}/quillmark")
  qm_link("${to_program}" "${qm_prefix}/bin/quillmark")
  file(RELATIVE_PATH to_import "${qm_prefix}/bin" "${qm_program}/qmk-import")
  qm_link("${to_import}" "${qm_prefix}/bin/qmk-import")
  qm_link("${qm_state}/data/qmk.dat" "${qm_program}/qmk.dat")
  qm_link("${qm_state}/xsl" "${qm_program}/xsl")
  # Nothing is installed at qmk.server: until the administrator writes it, the link leads nowhere
  # and the program keeps using qmk.dat.
  file(MAKE_DIRECTORY "${qm_root}${qm_config}")
  qm_link("${qm_config}/qmk.server" "${qm_program}/qmk.server")
elseif(QM_INSTALL_STEP STREQUAL "database")
  # Made only when there is none: an existing database is never touched.
  qm_setup_data("${qm_root}${qm_program}/qmk-initdb")
endif()
