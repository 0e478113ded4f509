# Installing and packaging. The program finds its own files relative to its executable
# (src/platform/ProgramFolder.cpp): bin/ for the programs, lib/quillbay/ for the helper
# library, share/quillbay/ for the help pages and icons. The user's data never lies here.

set(QB_INSTALL_LIBDIR lib/quillbay)
set(QB_INSTALL_DATADIR share/quillbay)
set(QB_APP_ID example.verrin.quillbay)

install(TARGETS quillbay qbyauto qbyini qbyget RUNTIME DESTINATION bin)
install(TARGETS qbyauto_plugin LIBRARY DESTINATION ${QB_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help DESTINATION ${QB_INSTALL_DATADIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/quillbay.png DESTINATION ${QB_INSTALL_DATADIR})
# The folder icons are drawn by the build (tools/qbyicons).
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/resources/icons.dll DESTINATION ${QB_INSTALL_DATADIR})

# Desktop integration: menu entry, themed icon, software-centre description.
install(FILES ${CMAKE_SOURCE_DIR}/resources/quillbay.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/quillbay.png
        DESTINATION share/icons/hicolor/64x64/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/quillbay.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/${QB_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/quillbay)

# cpack -G DEB: the package depends on the Debian packages that provide the shared
# libraries the installed programs link against (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME quillbay)
set(CPACK_PACKAGE_VENDOR Verrin)
set(CPACK_PACKAGE_CONTACT "Quillbay team <quillbay@verrin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Download manager for the desktop tray")
set(CPACK_PACKAGE_DESCRIPTION "Quillbay takes over the downloads a browser or the command \
line hands to it, downloads each file over HTTP or FTP with resume and live speed statistics, \
and files it into a personal library of sections and folders.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quillbay)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening files and web pages goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillbay.verrin.example)
include(CPack)
