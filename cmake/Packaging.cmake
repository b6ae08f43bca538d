# `cpack -G DEB` (scripts/package.sh): one package with both programs and the desktop integration.
set(CPACK_PACKAGE_NAME zyvora-configurator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zyvora Configurator developers")
set(CPACK_PACKAGE_CONTACT "Zyvora Configurator developers <zyvora-configurator@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for the Zyvora Plus 2.0 APRS device")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Reads, checks, edits, saves and writes the settings of the Zyvora Plus 2.0,\n"
  "an APRS digipeater, APRS-IS gateway, weather and telemetry station, over\n"
  "USB. It also uploads the device's firmware and builds remote update files.\n"
  ".\n"
  "The package holds the window zyvora-configurator and the command-line tool\n"
  "zyvora-cli, and a udev rule that gives the user at the seat access to the\n"
  "device.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/COPYING)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs Qt's platform plugins, which libqt6gui6 only recommends; shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
