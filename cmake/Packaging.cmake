# What `cmake --build --preset X --target package` builds: on Windows builds the zip
# korvane-<version>-win32.zip or -win64.zip (korvane.exe, korvane-cli.exe, the help
# file, README.txt and LICENSE.txt with CR LF); on Linux korvane_<version>_amd64.deb
# (the command line, its disk-image and GStreamer modules, its manual page and the
# documents).
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "The Korvane authors")
set(CPACK_PACKAGE_CONTACT "Korvane maintainers <korvane@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find out why an AVI video does not play on a Windows machine")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.example.com/korvane/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

set(korvane_text_dir ${CMAKE_BINARY_DIR}/package-text)
set(KORVANE_VERSION ${PROJECT_VERSION})  # for the @KORVANE_VERSION@ of the texts below

if(WIN32)
  # The README and the licence as a Windows user opens them: .txt, CR LF.
  foreach(pair "README.md;README.txt" "LICENSE;LICENSE.txt")
    list(GET pair 0 in)
    list(GET pair 1 out)
    add_custom_command(OUTPUT ${korvane_text_dir}/${out}
      COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${in} -DOUT=${korvane_text_dir}/${out}
              -P ${PROJECT_SOURCE_DIR}/cmake/crlf-text.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/${in} ${PROJECT_SOURCE_DIR}/cmake/crlf-text.cmake
      COMMENT "Writing ${out} with CR LF line ends")
    list(APPEND korvane_texts ${korvane_text_dir}/${out})
  endforeach()
  add_custom_target(korvane_package_texts ALL DEPENDS ${korvane_texts})

  install(TARGETS korvane korvane_cli RUNTIME DESTINATION .)
  install(FILES ${korvane_texts} ${KORVANE_HELP_FILES} DESTINATION .)

  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME korvane-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME korvane-${PROJECT_VERSION}-win32)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  # The manual page and the Debian changelog, gzipped as Debian policy asks (-n: no
  # name or time stamp, so the package is the same from one build to the next).
  configure_file(${PROJECT_SOURCE_DIR}/docs/korvane.1 ${korvane_text_dir}/korvane.1 @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${korvane_text_dir}/changelog @ONLY)
  foreach(name korvane.1 changelog)
    add_custom_command(OUTPUT ${korvane_text_dir}/${name}.gz
      COMMAND gzip -9nf -k ${korvane_text_dir}/${name}
      DEPENDS ${korvane_text_dir}/${name}
      COMMENT "Compressing ${name}")
    list(APPEND korvane_gzipped ${korvane_text_dir}/${name}.gz)
  endforeach()
  add_custom_target(korvane_package_texts ALL DEPENDS ${korvane_gzipped})

  install(TARGETS korvane_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(KORVANE_IMAGE_MODULE)
    # The disk-image reader in korvane's private library folder, where korvane looks for
    # it; a module is read, never run.
    install(TARGETS korvane_image_module LIBRARY DESTINATION ${KORVANE_MODULE_INSTALL_DIR}
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  if(KORVANE_GSTREAMER)
    # The module that asks the host's GStreamer, beside the disk-image reader.
    install(TARGETS korvane_gstreamer_module LIBRARY DESTINATION ${KORVANE_MODULE_INSTALL_DIR}
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  install(FILES ${korvane_text_dir}/korvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${korvane_text_dir}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
                ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME korvane_${PROJECT_VERSION}_amd64.deb)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The real runtime dependencies: dpkg-shlibdeps reads them from the program.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvane inspects the Video for Windows set-up of a Windows installation\n"
    "read from disk (a folder that describes a machine, or a Wine prefix): the\n"
    "driver sections of system.ini, the driver registry keys, the AVIFile\n"
    "registration, the installed software, and whether each codec library\n"
    "loads. It reads the head of an AVI file and tells which decoders the file\n"
    "needs and whether the machine has them.")
  string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

include(CPack)
