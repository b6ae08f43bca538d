# `cpack -G DEB` (scripts/package.sh): two packages from one build. zyvora-cli holds the command
# line, its manual page and completion and the udev rule, and needs no Qt, for station computers
# without a desktop; zyvora-configurator holds the window and its desktop integration and depends
# on zyvora-cli for the rule.
set(CPACK_PACKAGE_NAME zyvora-configurator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zyvora Configurator developers")
set(CPACK_PACKAGE_CONTACT "Zyvora Configurator developers <zyvora-configurator@example.org>")
# Each package's synopsis is the first line of its description below; a package-wide summary
# would be put in front of both.
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/COPYING)
set(CPACK_STRIP_FILES ON)

set(CPACK_COMPONENTS_ALL cli)
if(TARGET zyvora-configurator)
  list(APPEND CPACK_COMPONENTS_ALL gui)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
# A cross build is packaged for the architecture it was built for, not the build machine's.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME zyvora-cli)
string(CONCAT CPACK_DEBIAN_CLI_DESCRIPTION
  "command-line configurator for the Zyvora Plus 2.0 APRS device\n"
  "Reads, checks, edits, saves and writes the settings of the Zyvora Plus 2.0,\n"
  "an APRS digipeater, APRS-IS gateway, weather and telemetry station, over\n"
  "USB, from the command line: for scripts, service work and station computers\n"
  "without a desktop, over SSH or from cron. It also uploads the device's\n"
  "firmware and builds and sends remote update files.\n"
  ".\n"
  "The package holds zyvora-cli and the udev rule that gives the user at the\n"
  "seat and the group plugdev access to the device.")
# The rule is the CLI's: its package reloads udev's rules.
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/debian/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/resources/debian/postrm)

set(CPACK_DEBIAN_GUI_PACKAGE_NAME zyvora-configurator)
string(CONCAT CPACK_DEBIAN_GUI_DESCRIPTION
  "configurator for the Zyvora Plus 2.0 APRS device\n"
  "Reads, checks, edits, saves and writes the settings of the Zyvora Plus 2.0,\n"
  "an APRS digipeater, APRS-IS gateway, weather and telemetry station, over\n"
  "USB. It also uploads the device's firmware and builds remote update files.\n"
  ".\n"
  "The package holds the window zyvora-configurator; the command-line tool\n"
  "zyvora-cli and the udev rule come with the package zyvora-cli.")
# The window needs Qt's platform plugins, which libqt6gui6 only recommends; shlibdeps cannot see them.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "qt6-qpa-plugins, zyvora-cli (= ${PROJECT_VERSION})")

# `cpack -G RPM`: the same two packages for RPM-based systems.
set(CPACK_RPM_COMPONENT_INSTALL ON)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_LICENSE "GPL-3.0-or-later")
set(CPACK_RPM_PACKAGE_GROUP "Applications/Communications")
set(CPACK_RPM_PACKAGE_URL "https://zyvora.example.org/")
set(CPACK_RPM_CLI_PACKAGE_NAME zyvora-cli)
set(CPACK_RPM_GUI_PACKAGE_NAME zyvora-configurator)
foreach(component CLI GUI)
  # The synopsis is the description's first line, the rest its body.
  string(FIND "${CPACK_DEBIAN_${component}_DESCRIPTION}" "\n" cut)
  string(SUBSTRING "${CPACK_DEBIAN_${component}_DESCRIPTION}" 0 ${cut} CPACK_RPM_${component}_PACKAGE_SUMMARY)
  math(EXPR cut "${cut} + 1")
  string(SUBSTRING "${CPACK_DEBIAN_${component}_DESCRIPTION}" ${cut} -1 body)
  string(REPLACE "\n.\n" "\n\n" CPACK_RPM_${component}_PACKAGE_DESCRIPTION "${body}")
endforeach()
set(CPACK_RPM_GUI_PACKAGE_REQUIRES "zyvora-cli = ${PROJECT_VERSION}")
set(CPACK_RPM_CLI_POST_INSTALL_SCRIPT_FILE ${CMAKE_CURRENT_SOURCE_DIR}/resources/rpm/udev-reload.sh)
set(CPACK_RPM_CLI_POST_UNINSTALL_SCRIPT_FILE ${CMAKE_CURRENT_SOURCE_DIR}/resources/rpm/udev-reload.sh)
# Folders other packages own are not claimed.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
  /usr/lib/udev /usr/lib/udev/rules.d /usr/share/bash-completion /usr/share/bash-completion/completions
  /usr/share/metainfo /usr/share/mime /usr/share/mime/packages /usr/share/icons /usr/share/icons/hicolor)

# `cpack --config CPackSourceConfig.cmake`: the source tree without what .gitignore keeps out of it
# (scripts/source-tarball.sh makes the same from git alone).
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME zyvora-configurator-${PROJECT_VERSION})
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/" "/out/" "/screenshots/" "/\\.ccache/")

include(CPack)
