# Installation under the GNU directory layout (programs, desktop entry, icons, AppStream
# metadata, man page, licence), the Debian package built from it, and a test of the installed tree.
include(GNUInstallDirs)

# The desktop entry's and icon's name; the program announces the same name (kDesktopAppId).
set(VELMORA_APP_ID org.example.Velmora)
set(velmora_data ${PROJECT_SOURCE_DIR}/data)
set(velmora_pictures ${PROJECT_SOURCE_DIR}/src/ui/resources)
set(velmora_icon_sizes 16 32 48 64 128 256)

# The man pages and the AppStream file carry the version of project(); they are installed from
# the build tree.
set(velmora_made_data ${PROJECT_BINARY_DIR}/data)
foreach(file velmora.1 velmora-thumb.1 ${VELMORA_APP_ID}.metainfo.xml)
  configure_file(${velmora_data}/${file}.in ${velmora_made_data}/${file} @ONLY)
endforeach()

set(velmora_programs "")
foreach(program velmora-thumb velmora)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${velmora_made_data}/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    list(APPEND velmora_programs ${program})
  endif()
endforeach()

# The desktop's thumbnailer entry, for a user to copy into ~/.local/share/thumbnailers: installed
# beside the program rather than into /usr/share/thumbnailers, so that the package does not take
# JPEG files over from the desktop's own thumbnailer for every user of the machine.
if(TARGET velmora-thumb)
  install(FILES ${velmora_data}/velmora.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)
endif()

# Debian looks for a package's licence in /usr/share/doc/<package>/copyright.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora
        RENAME copyright)

if(TARGET velmora)
  install(FILES ${velmora_data}/${VELMORA_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${velmora_made_data}/${VELMORA_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size ${velmora_icon_sizes})
    install(FILES ${velmora_pictures}/icons/velmora-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VELMORA_APP_ID}.png)
  endforeach()
  install(FILES ${velmora_pictures}/velmora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${VELMORA_APP_ID}.svg)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <velmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "JPEG thumbnail maker for one picture or a whole folder")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora makes reduced copies of JPEG photographs with five sizing rules and two naming\n\
rules, one picture at a time or a whole folder at once. It ships the Qt desktop program\n\
velmora and the command-line tool velmora-thumb.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://velmora.example.org/)
# Debian 12's runtime packages, as dpkg-shlibdeps names them for our two programs, plus what
# no library link shows: the Qt platform plugins (xcb, wayland) ship in libqt6gui6 there, and the
# Chinese captions need a CJK font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12), libqt6core6 (>= 6.4.0), \
libqt6gui6 (>= 6.4.0), libqt6widgets6 (>= 6.4.0), libjpeg62-turbo (>= 1:2.1), \
liblcms2-2 (>= 2.14), libpng16-16 (>= 1.6.2), libglib2.0-0 (>= 2.58), fonts-noto-cjk")
include(CPack)

if(VELMORA_BUILD_TESTS)
  add_test(NAME install.tree
           COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
                   -DSTAGE_DIR=${PROJECT_BINARY_DIR}/install-tree-test
                   -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DAPP_ID=${VELMORA_APP_ID}
                   -DVERSION=${PROJECT_VERSION}
                   "-DPROGRAMS=${velmora_programs}"
                   "-DICON_SIZES=${velmora_icon_sizes}"
                   -P ${PROJECT_SOURCE_DIR}/tests/install/check_install_tree.cmake)
endif()
