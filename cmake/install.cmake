# What `cmake --install` puts where, and the Debian package made from it (`cpack -G DEB`, run by
# scripts/package.sh): the two programs, the menu entry, the file type, the icons, the man pages.
include(GNUInstallDirs)

# Installing and packaging build only what they install (scripts/package.sh builds it first),
# not every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS nvxedit nvx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES dist/nvxedit.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/nvxedit.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES dist/icons/nvxedit.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/icons/application-x-nvx.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
# The built-in rules of `nvx clean`, for users to copy and edit.
install(FILES dist/clean-rules.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/nvx)

# Man pages are installed compressed, as Debian keeps them.
set(nvx_man_pages)
foreach(page nvx.1 nvxedit.1)
  set(packed ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/man/${page} > ${packed}
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
    VERBATIM)
  list(APPEND nvx_man_pages ${packed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${nvx_man_pages})
install(FILES ${nvx_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nvxedit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reader and editor for collections of articles (.nvx)")
set(CPACK_PACKAGE_DESCRIPTION "NVX编辑器 reads and edits collections of articles kept as SQLite files (.nvx): \
a catalogue of titles, the article text with its font and colour, Find, export to text. The \
command-line companion nvx lists, adds, checks, backs up and compares collections.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "NVX maintainers <maintainers@nvx.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps. Qt loads the SVG icon through a
# plug-in, which no linked library names, so its package is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# The Chinese faces the editor shows (Song, Kai, Hei) and Qt's own Chinese texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-arphic-uming, fonts-arphic-ukai, fonts-wqy-microhei, qt6-translations-l10n")
include(CPack)
