# What `cmake --install` puts in place (any prefix, DESTDIR honoured) and the Debian package made
# from it with `cpack -G DEB`. Included from the top CMakeLists.txt after the quillar target.
include(GNUInstallDirs)

set(QUILLAR_DATA_DIR "${CMAKE_CURRENT_SOURCE_DIR}/data")
set(QUILLAR_GENERATED_DATA_DIR "${CMAKE_CURRENT_BINARY_DIR}/data")
# Qt names the X11 window class after the application name; docks group the window with its menu
# entry by it.
set(QUILLAR_WINDOW_CLASS "Quillar")
set(QUILLAR_SCREENSHOT_URL
    "https://raw.githubusercontent.com/quillar/quillar/main/docs/screenshot.png")

configure_file("${QUILLAR_DATA_DIR}/quillar.desktop.in"
               "${QUILLAR_GENERATED_DATA_DIR}/${QUILLAR_APP_ID}.desktop" @ONLY)
configure_file("${QUILLAR_DATA_DIR}/quillar.metainfo.xml.in"
               "${QUILLAR_GENERATED_DATA_DIR}/${QUILLAR_APP_ID}.metainfo.xml" @ONLY)

install(TARGETS quillar quillar-check quillar-export RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${QUILLAR_GENERATED_DATA_DIR}/${QUILLAR_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${QUILLAR_GENERATED_DATA_DIR}/${QUILLAR_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${QUILLAR_DATA_DIR}/quillar.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME "${QUILLAR_APP_ID}.svg")
install(DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/examples/"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/quillar/examples")

# Bitmap sizes of the icon for what does not draw SVG: Qt's own theme lookup without its SVG
# plugin (the window icon), older docks and panels. Made only where rsvg-convert is at hand.
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(icon_pngs)
  foreach(size 16 24 32 48 64 128 256)
    set(png "${QUILLAR_GENERATED_DATA_DIR}/icons/${size}x${size}/${QUILLAR_APP_ID}.png")
    add_custom_command(OUTPUT "${png}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${QUILLAR_GENERATED_DATA_DIR}/icons/${size}x${size}"
      COMMAND "${RSVG_CONVERT}" -w ${size} -h ${size} -o "${png}" "${QUILLAR_DATA_DIR}/quillar.svg"
      DEPENDS "${QUILLAR_DATA_DIR}/quillar.svg" VERBATIM)
    list(APPEND icon_pngs "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
  add_custom_target(quillar_icons ALL DEPENDS ${icon_pngs})
else()
  message(STATUS "rsvg-convert not found: only the SVG icon is installed")
endif()

# The Debian package: `cpack -G DEB` in a Release build gives quillar_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME "quillar")
set(CPACK_PACKAGE_VENDOR "The Quillar developers")
set(CPACK_PACKAGE_CONTACT "The Quillar developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "record a word list item by item for linguistic fieldwork")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillar records a spoken word list one item after another and saves each recording as a WAV "
    "file named after its item, from the keyboard: Enter records, stops and saves, Ctrl plays. It "
    "shows the live spectrum, the recorded time and size, and the waveform of saved recordings.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries come from the binary; Qt's window system plugins and its Chinese texts (Yes, No,
# the file dialogs) are loaded at run time, and the CJK font and the sound server are what the
# window and the recorder expect to find.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, pulseaudio | pipewire-pulse")
include(CPack)
