# The Debian package (scripts/package): everything the install rules put in
# place, with the dependencies taken from the shared libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarvo Electronics Co., Ltd.")
set(CPACK_PACKAGE_CONTACT "Tarvo developers <maintainers@tarvo.example.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what the shared libraries need: the SQLite file database is the
# default store and is loaded as a Qt plugin, which no library names.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Thai user guide needs a Thai font to be readable; the completion of
# tarvo-cli needs bash-completion to be loaded.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-thai-tlwg, bash-completion")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for a serial-port microcontroller programmer")
# CPack puts the summary above this text as the synopsis line.
set(CPACK_PACKAGE_DESCRIPTION "With the programmer unit on a serial port, Tarvo erases, blank-checks,
programs, verifies, reads and locks 8051-family (AT89C1051 to AT89S53) and
AVR AT90S flash microcontrollers and reads and writes their fuse bits. It
loads and saves Intel HEX files and counts passes and failures for
production runs.
.
The package holds the window (tarvo), the command-line tool for build
servers and production lines (tarvo-cli), the line's dashboard in a browser
(tarvo-line) and an emulated programmer on a pseudo-terminal (tarvo-emu) for
trying them without hardware, with the user guides in Thai and English.")
include(CPack)
