# The desktop program's installation (program, desktop entry, hicolor icons, AppStream
# metadata) and the Debian package that `cpack -G DEB` makes of everything installed.
# Included from the top CMakeLists.txt after every subsystem, so that the programs exist
# (the install test checks bin/orka whenever the target is there).
include(GNUInstallDirs)

set(ORKA_APP_ID org.tessel.Orka)
set(ORKA_RELEASE_DATE 2026-12-07)
set(ORKA_ICON_SIZES 16 32 48 64 128 256)
set(_packaging ${CMAKE_CURRENT_LIST_DIR})

# The program `orka` installs itself into bin/ (app/ui/shell); the launcher, icons and
# metadata that belong to it come with the Qt build that makes it.
if(ORKA_WITH_QT)
  install(FILES ${_packaging}/${ORKA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(${_packaging}/${ORKA_APP_ID}.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/packaging/${ORKA_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${ORKA_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The PNGs are rendered from the SVG once (rsvg-convert -w N -h N) and kept in the tree,
  # so building needs no SVG renderer.
  foreach(_size ${ORKA_ICON_SIZES})
    install(FILES ${_packaging}/icons/hicolor/${_size}x${_size}/${ORKA_APP_ID}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
  endforeach()
  install(FILES ${_packaging}/icons/${ORKA_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# An installation into a scratch folder, checked file by file and by the validators (in the
# plain build only: the sanitizer and fuzz builds would install the same files again).
if(NOT ORKA_SANITIZE AND NOT ORKA_TSAN AND NOT ORKA_FUZZ)
string(REPLACE ";" "," _icon_sizes "${ORKA_ICON_SIZES}")
add_test(NAME install_layout_test
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
    -DSTAGE=${CMAKE_BINARY_DIR}/install-check -DPREFIX=/usr
    -DBINDIR=${CMAKE_INSTALL_BINDIR} -DDATADIR=${CMAKE_INSTALL_DATADIR}
    -DAPP_ID=${ORKA_APP_ID} -DICON_SIZES=${_icon_sizes} -DWITH_QT=${ORKA_WITH_QT}
    -DWITH_PROGRAM=$<TARGET_EXISTS:orka> -DVERSION=${PROJECT_VERSION}
    -P ${_packaging}/tests/InstallCheck.cmake)
set_tests_properties(install_layout_test PROPERTIES LABELS integration TIMEOUT 300 RUN_SERIAL TRUE)
endif()

# --- the Debian package ---
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orka)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Orka team <orka@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop companion for the Q5 handset")
set(CPACK_PACKAGE_DESCRIPTION "Orka browses the Q5 handset's gallery over a serial port, the handset's USB \
cable or an infrared link, copies wallpapers, main-menu pictures, caller photos, animations and \
ring tones both ways, installs Java MIDlets, prepares pictures and ring tones (MIDI to SMAF) on \
the computer and copies phonebook and calendar entries to and from vCard and iCalendar folders.

The package also holds the phone link library, the MIDI to SMAF converter, the command-line \
tools and q5sim, a simulated handset.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries' own dependencies come from dpkg-shlibdeps; our libraries (in the build's bin
# folder) are inside the package. The data the programs look for at run time is added: a
# CJK font for the Traditional Chinese texts, a General MIDI SoundFont for MIDI playback
# on machines without a MIDI synthesizer, and Qt's own texts in Traditional Chinese.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk | fonts-wqy-zenhei, timgm6mb-soundfont | fluid-soundfont-gm, qt6-translations-l10n")
# "Export > mail" hands the files to xdg-email.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
