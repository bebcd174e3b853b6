# The Debian packages, made by CPack's DEB generator from the install rules (scripts/package): vtc880
# (the programs) and, where the Python module is built, python3-vtc880 (the module, for the system's
# python3, so that the tool does not depend on Python). Each program's CMakeLists.txt installs the
# program and what belongs to it; this file adds what belongs to each package: its documentation,
# copyright file and changelog.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

set(VTC880_PACKAGE_MAINTAINER "VTC880 firmware updater developers <vtc880@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(VTC880_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${VTC880_DOC_DIR})
# The README shows it.
install(FILES ${PROJECT_SOURCE_DIR}/docs/window.png DESTINATION ${VTC880_DOC_DIR}/docs)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${VTC880_DOC_DIR})
set(VTC880_PYTHON_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/python3-${PROJECT_NAME})
if(TARGET _vtc880)
  install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${VTC880_PYTHON_DOC_DIR} COMPONENT python)
  # How a test script updates devices through the module.
  install(FILES ${PROJECT_SOURCE_DIR}/examples/production_test.py DESTINATION ${VTC880_PYTHON_DOC_DIR}/examples
          COMPONENT python)
endif()

# Debian's changelog for a package whose upstream is Debian's own (a version without a Debian
# revision): changelog.gz, from data/changelog.in, whose first entry is this version's.
file(STRINGS ${PROJECT_SOURCE_DIR}/data/changelog.in VTC880_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT VTC880_CHANGELOG_TOP MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/changelog.in does not begin with version ${PROJECT_VERSION}: add its entry")
endif()
configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/package/changelog.gz
  COMMAND gzip -9 --no-name --keep --force ${CMAKE_BINARY_DIR}/package/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/package/changelog
  VERBATIM)
add_custom_target(vtc880-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/package/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${VTC880_DOC_DIR})
if(TARGET _vtc880)
  install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${VTC880_PYTHON_DOC_DIR} COMPONENT python)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# A package per component. Each description is its summary line, then the rest: with no
# CPACK_PACKAGE_DESCRIPTION_SUMMARY, CPack puts no other summary in front.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_DEBIAN_TOOL_DESCRIPTION "firmware updater for VTC880 devices on a serial line
Puts new firmware into a VTC880 device attached over an RS-232 port or a USB
serial adapter, and packs firmware images from recipes.

vtc880-updater is the window: choose the link and the port, press Update.
vtc880 is the command-line tool for scripts, terminals and production lines:
update, verify and erase one device or many at once, pack and check images,
list the serial ports, update every board plugged into a station and keep a
record of each, and run a simulated device to try it all without hardware.

A udev rule for FTDI USB serial adapters (1 ms latency timer, access for the
dialout group) comes along, inactive until it is enabled. The Python module is
in python3-vtc880.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VTC880_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps; besides them the window needs a Qt
# platform plugin to open at all, which Qt's own libraries only recommend.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The window's typeface, and the loader of the completion.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "fonts-liberation2, bash-completion")

if(TARGET _vtc880)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-${PROJECT_NAME})
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # Built for the one Python 3 of this Debian release (the extension's ABI is 3.11's).
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS ${VTC880_PYTHON_DEPENDS})
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION "VTC880 firmware updates from Python test scripts
The Python module vtc880: update, verify and erase VTC880 devices on serial
ports as function calls, with the same bytes on the wire, outcomes and names
as the vtc880 tool. Each call returns a result that says what the device now
holds; progress comes to a callable per step; threads that each update a port
run in parallel; Ctrl-C stops a run at its next safe point. A simulated device
on a pseudo-terminal lets a production script be tried without hardware.")
endif()

include(CPack)
