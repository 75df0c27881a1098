# Desktop integration (menu entry, icons, AppStream data, man page) and the Debian package.
# The binary itself is installed by src/CMakeLists.txt.

set(TOLVANE_RESOURCES ${PROJECT_SOURCE_DIR}/resources)
set(TOLVANE_APPSTREAM_ID org.tolvane.Tolvane)

install(FILES ${TOLVANE_RESOURCES}/tolvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TOLVANE_RESOURCES}/tolvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME ${TOLVANE_APPSTREAM_ID}.metainfo.xml)

install(FILES ${TOLVANE_RESOURCES}/icons/tolvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${TOLVANE_RESOURCES}/icons/hicolor/${size}x${size}/apps/tolvane.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian policy wants man pages compressed; -n keeps the archive free of time stamps.
find_program(TOLVANE_GZIP gzip REQUIRED)
# The page names the version of the project.
configure_file(${TOLVANE_RESOURCES}/tolvane.1.in ${CMAKE_CURRENT_BINARY_DIR}/tolvane.1 @ONLY)
set(TOLVANE_MAN_GZ ${CMAKE_CURRENT_BINARY_DIR}/tolvane.1.gz)
add_custom_command(OUTPUT ${TOLVANE_MAN_GZ}
  COMMAND ${TOLVANE_GZIP} -9nc ${CMAKE_CURRENT_BINARY_DIR}/tolvane.1 > ${TOLVANE_MAN_GZ}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tolvane.1
  COMMENT "Compressing the man page"
  VERBATIM)
add_custom_target(tolvane_manpage ALL DEPENDS ${TOLVANE_MAN_GZ})
install(FILES ${TOLVANE_MAN_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The compile service of Check While Typing; the program looks for it in ../share/tolvane.
if(TARGET tolvane_check_service)
  install_jar(tolvane_check_service DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane)
  install_jar(tolvane_interactions_agent DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane)
  # Its class-data archive must be made where the jar lies: on install, unless staged (a package's
  # files are staged; the package makes it when it is installed).
  install(PROGRAMS ${TOLVANE_CLASS_ARCHIVE_SCRIPT} DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane
          RENAME make-class-archive)
  install(CODE "if(NOT DEFINED ENV{DESTDIR} OR \"\$ENV{DESTDIR}\" STREQUAL \"\")
    execute_process(COMMAND sh \"${TOLVANE_CLASS_ARCHIVE_SCRIPT}\"
                    \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/tolvane/tolvane-check.jar\")
  endif()")
  configure_file(${TOLVANE_RESOURCES}/debian/postinst.in ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst @ONLY)
  configure_file(${TOLVANE_RESOURCES}/debian/prerm.in ${CMAKE_CURRENT_BINARY_DIR}/debian/prerm @ONLY)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      ${CMAKE_CURRENT_BINARY_DIR}/debian/postinst ${CMAKE_CURRENT_BINARY_DIR}/debian/prerm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvane
        RENAME copyright)

# --- CPack: tolvane_<version>_<arch>.deb -----------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tolvane developers")
set(CPACK_PACKAGE_CONTACT "The Tolvane developers <tolvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small, fast editor for Java source files")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time libraries are read off the binary by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# javac for the Compile command and Check While Typing; the SVG plug-ins for SVG icon themes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "default-jdk-headless | java-sdk-headless, libqt6svg6")
# The summary above is the synopsis line; CPack indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tolvane is a single-document desktop editor for Java programs and applets.
It opens and saves plain Java source files, generates the skeleton of a new
applet from its name and imports, finds text forwards or backwards and hands
the current file to the javac compiler of an installed JDK, whose compiler also
checks the text as it is typed.")

include(CPack)
