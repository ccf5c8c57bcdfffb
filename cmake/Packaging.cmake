# Installing Quillmark as a desktop program that the users of one computer share.
#
# The program folder is <prefix>/lib/quillmark: the executable, qmk-initdb, qmk-import, quillmark-setup-data
# and Help/. The program looks for qmk.dat and xsl/ beside itself; there they are links into the
# folder of variable data (/var/lib/quillmark for the prefix /usr, <prefix>/var/lib/quillmark
# otherwise): data/qmk.dat and xsl/, both in folders the members of the group quillmark share. It also looks for
# qmk.server, which names a database server to use instead of qmk.dat; there it is a link to the
# administrator's file in /etc/quillmark (<prefix>/etc/quillmark otherwise), which no install
# makes, so that the program uses qmk.dat until one is written. <prefix>/bin/quillmark
# links to the executable (and <prefix>/bin/qmk-import to the import tool); Qt resolves that link, so the program folder stays <prefix>/lib/quillmark
# however the program was started.
#
# quillmark-setup-data lays out the folder of variable data and makes the database. Component
# "program" is everything the Debian package ships: without DESTDIR it lays out the folders, in a
# staging install (DESTDIR, CPack) it leaves them to the package's postinst, so that dpkg never
# owns, replaces or deletes the shared folders or the data file. Component "database" makes
# data/qmk.dat when there is none.
include(GNUInstallDirs)
set(QM_INSTALL_PROGRAM_DIR lib/quillmark)

install(TARGETS quillmark qmk-initdb qmk-import RUNTIME DESTINATION ${QM_INSTALL_PROGRAM_DIR} COMPONENT program)
install(PROGRAMS packaging/quillmark-setup-data DESTINATION ${QM_INSTALL_PROGRAM_DIR} COMPONENT program)
install(DIRECTORY resources/Help/ DESTINATION ${QM_INSTALL_PROGRAM_DIR}/Help COMPONENT program)
install(FILES resources/quillmark.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
install(FILES resources/quillmark.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)

# The manual page and the changelog are shipped compressed, without a time stamp in the gzip header.
set(QM_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(STRINGS packaging/changelog QM_CHANGELOG_HEAD LIMIT_COUNT 1)
if(NOT QM_CHANGELOG_HEAD MATCHES "^quillmark \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog must begin with an entry for version ${PROJECT_VERSION}")
endif()
foreach(doc quillmark.1 changelog)
  add_custom_command(OUTPUT ${QM_PACKAGING_OUT}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QM_PACKAGING_OUT}
    COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/packaging/${doc} > ${QM_PACKAGING_OUT}/${doc}.gz
    DEPENDS packaging/${doc} VERBATIM)
endforeach()
add_custom_target(packaging_docs ALL DEPENDS ${QM_PACKAGING_OUT}/quillmark.1.gz ${QM_PACKAGING_OUT}/changelog.gz)
install(FILES ${QM_PACKAGING_OUT}/quillmark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
install(FILES ${QM_PACKAGING_OUT}/changelog.gz packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT program)

# The links and the shared data folders, laid out when installing (the prefix may be given then),
# after the files above: the steps run the installed quillmark-setup-data.
set(QM_STATE_CODE "set(QM_INSTALL_PROGRAM_DIR ${QM_INSTALL_PROGRAM_DIR})
include(\"${CMAKE_SOURCE_DIR}/cmake/InstallState.cmake\")")
install(CODE "set(QM_INSTALL_STEP links)\n${QM_STATE_CODE}" COMPONENT program)
install(CODE "set(QM_INSTALL_STEP database)\n${QM_STATE_CODE}" COMPONENT database)

# The Debian package: cpack -G DEB in a build configured with the prefix /usr (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "Quillmark team")
set(CPACK_PACKAGE_CONTACT "Quillmark team <packages@quillmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "project budget keeper for the users of one computer")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};quillmark;program;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quillmark.example/")
# dpkg-shlibdeps names the libraries the programs link, each with the lowest version they need:
# Qt, SQLCipher, and libpq5, the client of the database server (scripts/package.sh checks that it
# is there). Naming one of them here as well would only repeat it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds no window system without its platform plugins, which no library links; the postinst
# makes the group quillmark with groupadd, from passwd.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, passwd")
# The help page, the web site and exported ledgers are opened with the desktop's programs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quillmark keeps the budget of projects. Each user logs in, keeps a list of
projects, books income and expense entries against them under categories of
their own, sees what each project has received and spent and whether it stands
in credit or in debit, and exports a project's ledger as a spreadsheet file.

Several people of one computer share one installation, each with a login of
their own; a master login adds users. All data lives in one encrypted
database file, /var/lib/quillmark/data/qmk.dat, which the members of the
group quillmark share; exported ledgers are written to /var/lib/quillmark/xsl.

Several computers can share the ledgers instead in a PostgreSQL database,
named in /etc/quillmark/qmk.server; each user then logs in as a login of
the database server.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
