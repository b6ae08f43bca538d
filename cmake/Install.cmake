# What `cmake --install` puts under the prefix: the programs, the udev rule, the desktop
# integration (menu entry, icon, file types, AppStream), the manual pages, the completion and the
# licence.
include(GNUInstallDirs)

install(TARGETS zyvora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET zyvora-configurator)
  install(TARGETS zyvora-configurator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# udev reads lib/udev/rules.d whatever the multiarch library folder is.
install(FILES resources/50-zyvora-plus.rules DESTINATION lib/udev/rules.d)

set(ZYVORA_ICON ${CMAKE_CURRENT_SOURCE_DIR}/resources/zyvora-configurator.svg)
install(FILES resources/zyvora-configurator.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZYVORA_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/zyvora-configurator.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/zyvora-configurator.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME zyvora-configurator.xml)

# The manual pages are written once, in Markdown that is also the web reference, and made into
# roff here.
find_program(ZYVORA_GO_MD2MAN go-md2man REQUIRED)
set(ZYVORA_MANUAL_PAGES)
foreach(page "zyvora-cli.1:docs/cli.md" "zyvora-configurator.1:docs/zyvora-configurator.md")
  string(REPLACE ":" ";" page ${page})
  list(GET page 0 name)
  list(GET page 1 source)
  set(roff ${CMAKE_CURRENT_BINARY_DIR}/docs/${name})
  add_custom_command(OUTPUT ${roff}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/docs
    COMMAND ${ZYVORA_GO_MD2MAN} -in ${CMAKE_CURRENT_SOURCE_DIR}/${source} -out ${roff}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source}
    COMMENT "Making the manual page ${name}")
  list(APPEND ZYVORA_MANUAL_PAGES ${roff})
endforeach()

# Manual pages and the changelog go out compressed, as man and Debian expect; -n keeps the
# bytes the same from build to build.
set(ZYVORA_DOC ${CMAKE_INSTALL_DATAROOTDIR}/doc/zyvora-configurator)
set(gzipped)
foreach(doc ${ZYVORA_MANUAL_PAGES} ${CMAKE_CURRENT_SOURCE_DIR}/resources/debian/changelog)
  get_filename_component(name ${doc} NAME)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/docs/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/docs
    COMMAND gzip -9n -c ${doc} > ${gz}
    DEPENDS ${doc})
  list(APPEND gzipped ${gz})
endforeach()
add_custom_target(zyvora_docs ALL DEPENDS ${gzipped})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docs/zyvora-cli.1.gz ${CMAKE_CURRENT_BINARY_DIR}/docs/zyvora-configurator.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docs/changelog.gz resources/debian/copyright DESTINATION ${ZYVORA_DOC})
install(FILES resources/zyvora-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zyvora-cli)
install(FILES COPYING DESTINATION ${ZYVORA_DOC})

# Menus that cannot scale an SVG take the PNG sizes, drawn from the same SVG when rsvg-convert is there.
find_program(ZYVORA_RSVG_CONVERT rsvg-convert)
if(ZYVORA_RSVG_CONVERT)
  set(pngs)
  foreach(size 16 32 48 64 128 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/zyvora-configurator.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${ZYVORA_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ZYVORA_ICON}
      DEPENDS ${ZYVORA_ICON} VERBATIM)
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(zyvora_icons ALL DEPENDS ${pngs})
else()
  message(STATUS "rsvg-convert not found: only the SVG icon is installed")
endif()
