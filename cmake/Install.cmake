# What `cmake --install` puts under the prefix: the programs, the udev rule, the desktop
# integration (menu entry, icon, file types, AppStream), the manual pages, the completion and the
# licence. Two components, one package each: "cli" (the command line, the udev rule; no Qt) and
# "gui" (the window and its desktop integration).
include(GNUInstallDirs)

install(TARGETS zyvora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
if(TARGET zyvora-configurator)
  install(TARGETS zyvora-configurator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT gui)
endif()

# udev reads lib/udev/rules.d whatever the multiarch library folder is.
install(FILES resources/50-zyvora-plus.rules DESTINATION lib/udev/rules.d COMPONENT cli)

set(ZYVORA_ICON ${CMAKE_CURRENT_SOURCE_DIR}/resources/zyvora-configurator.svg)
if(TARGET zyvora-configurator)
  install(FILES resources/zyvora-configurator.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT gui)
  install(FILES ${ZYVORA_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT gui)
  install(FILES resources/org.example.zyvora.configurator.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT gui)
  install(FILES resources/zyvora-configurator.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME zyvora-configurator.xml COMPONENT gui)
endif()

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
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docs/zyvora-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES resources/zyvora-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME zyvora-cli COMPONENT cli)
if(TARGET zyvora-configurator)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docs/zyvora-configurator.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT gui)
endif()
# Each package carries its own copyright, licence and changelog, as Debian asks.
foreach(component cli gui)
  if(component STREQUAL "gui" AND NOT TARGET zyvora-configurator)
    continue()
  endif()
  set(doc_folder ${CMAKE_INSTALL_DATAROOTDIR}/doc/zyvora-${component})
  if(component STREQUAL "gui")
    set(doc_folder ${ZYVORA_DOC})
  endif()
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docs/changelog.gz resources/debian/copyright COPYING
          DESTINATION ${doc_folder} COMPONENT ${component})
endforeach()

# Menus that cannot scale an SVG take the PNG sizes, drawn from the same SVG when rsvg-convert is there.
find_program(ZYVORA_RSVG_CONVERT rsvg-convert)
if(ZYVORA_RSVG_CONVERT AND TARGET zyvora-configurator)
  set(pngs)
  foreach(size 16 32 48 64 128 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/zyvora-configurator.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${ZYVORA_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ZYVORA_ICON}
      DEPENDS ${ZYVORA_ICON} VERBATIM)
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT gui)
  endforeach()
  add_custom_target(zyvora_icons ALL DEPENDS ${pngs})
elseif(TARGET zyvora-configurator)
  message(STATUS "rsvg-convert not found: only the SVG icon is installed")
endif()
