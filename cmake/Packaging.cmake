# What `cmake --build --preset X --target package` builds: on Windows builds the zip
# korvane-<version>-win32.zip or -win64.zip (korvane.exe, korvane-cli.exe, the help
# file, README.txt and LICENSE.txt with CR LF); on Linux korvane_<version>_amd64.deb
# (the command line, its disk-image and GStreamer modules, the i686 and x86_64
# korvane-cli.exe that `check --try` runs under Wine, taken from the win32 and win64
# builds, which must be built first, its manual page and the documents).
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
  # The Windows CLIs come from the cross builds; installing checks that each is there and
  # is a PE file for its machine, so a missing or swapped build stops the package.
  set(KORVANE_WIN32_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/win32 CACHE PATH
      "The i686 Windows build whose korvane-cli.exe the package carries")
  set(KORVANE_WIN64_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/win64 CACHE PATH
      "The x86_64 Windows build whose korvane-cli.exe the package carries")
  foreach(cli "${KORVANE_WIN32_BUILD_DIR};i686;014c;win32"
              "${KORVANE_WIN64_BUILD_DIR};x86_64;8664;win64")
    list(GET cli 0 cli_build)
    list(GET cli 1 cli_machine)
    list(GET cli 2 cli_machine_field)
    list(GET cli 3 cli_preset)
    install(CODE "
      set(KORVANE_PE_FILE [[${cli_build}/korvane-cli.exe]])
      set(KORVANE_PE_MACHINE ${cli_machine})
      set(KORVANE_PE_MACHINE_FIELD ${cli_machine_field})
      set(KORVANE_PE_PRESET ${cli_preset})
      include([[${PROJECT_SOURCE_DIR}/cmake/check-pe-machine.cmake]])")
    # Not executable: Wine runs it as it is, and to Linux it is data.
    install(FILES ${cli_build}/korvane-cli.exe DESTINATION ${KORVANE_WINDOWS_CLI_INSTALL_DIR}
            RENAME korvane-cli-${cli_machine}.exe)
  endforeach()
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
  # Only `check --try` runs Wine, and it says so when Wine is missing.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS wine)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Korvane inspects the Video for Windows set-up of a Windows installation\n"
    "read from disk (a folder that describes a machine, or a Wine prefix): the\n"
    "driver sections of system.ini, the driver registry keys, the AVIFile\n"
    "registration, the installed software, and whether each codec library\n"
    "loads. It reads the head of an AVI file and tells which decoders the file\n"
    "needs and whether the machine has them. With Wine, it also tries a Wine\n"
    "prefix's own decoders on the file, through the 32-bit and 64-bit Windows\n"
    "builds of its command line, which the package carries.")
  string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

include(CPack)
