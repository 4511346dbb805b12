# Installing (cmake --install) and the Debian package (cpack -G DEB).
#
# Installed, the programs look for their shared files in <prefix>/share/tavrolin/ and keep each
# user's files in the user's XDG folders; the build folder stays a portable copy.
set(tavrolin_share ${CMAKE_INSTALL_DATADIR}/tavrolin)
set(tavrolin_doc ${CMAKE_INSTALL_DATADIR}/doc/tavrolin)

install(TARGETS tavrolin-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tavrolin_calc)
  install(TARGETS tavrolin_calc LIBRARY DESTINATION ${TAVROLIN_MODULE_DIR})
endif()
install(DIRECTORY ephe/ DESTINATION ${tavrolin_share}/ephe FILES_MATCHING PATTERN "*.se1")
install(FILES data/help.txt DESTINATION ${tavrolin_share})
install(FILES examples/default.opt DESTINATION ${tavrolin_share}/examples)

# Manual pages and the changelog are installed compressed, as Debian's policy asks.
set(compressed_docs)
foreach(page tavrolin.1 tavrolin-batch.1 changelog)
  if(page MATCHES "\\.1$")
    set(source ${CMAKE_SOURCE_DIR}/data/man/${page})
  else()
    set(source ${CMAKE_SOURCE_DIR}/data/${page})
  endif()
  set(target ${CMAKE_BINARY_DIR}/installed-docs/${page}.gz)
  add_custom_command(OUTPUT ${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/installed-docs
    COMMAND gzip -9 -n -c ${source} > ${target}
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed_docs ${target})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed_docs})
install(FILES ${CMAKE_BINARY_DIR}/installed-docs/tavrolin-batch.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE data/copyright ${CMAKE_BINARY_DIR}/installed-docs/changelog.gz
        DESTINATION ${tavrolin_doc})

if(TARGET tavrolin)
  install(TARGETS tavrolin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/installed-docs/tavrolin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES data/${TAVROLIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/${TAVROLIN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES data/icons/${TAVROLIN_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48x48 256x256)
    install(FILES data/icons/${size}/${TAVROLIN_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrolin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavrolin developers")
set(CPACK_PACKAGE_CONTACT "Tavrolin developers <developers@tavrolin.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "exact astrological aspects of transits, progressions and solar arcs")
set(CPACK_PACKAGE_DESCRIPTION
"Tavrolin finds every moment in a date range at which two bodies stand at an
exact aspect and lists those moments with local date and time. It works with
transits to a natal chart, transits to transits, secondary progressions and
solar-arc directions, finds aspects to one zodiac degree, prints natal
positions (tropical, sidereal and declination) and copies its results into a
running LibreOffice Calc. All positions come from the Swiss Ephemeris.
.
The package holds the window program tavrolin and the command-line program
tavrolin-batch, which runs the same calculations from a settings file.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries by dpkg-shlibdeps; the planets' ephemeris files and, for the window, the toolkit's
# display plugins, which no library names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "swe-basic-data")
if(TARGET tavrolin)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libreoffice-calc")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
