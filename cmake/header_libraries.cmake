# The header-only libraries korvane uses, CLI11 and nlohmann/json, from the host's Debian
# packages (libcli11-dev, nlohmann-json3-dev) for every build, native and MinGW alike.
# A cross build must not search the host's include folder, whose C library headers would
# shadow MinGW's; so each library gets a folder of its own in the build tree that holds
# only a link to the library's headers, and that folder is the include path.
function(korvane_header_library target header package)
  find_path(${target}_DIR ${header} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${target}_DIR)
    message(FATAL_ERROR "${header} not found: install ${package} (scripts/install-deps.sh main)")
  endif()
  string(REGEX REPLACE "/.*" "" top "${header}")  # CLI/CLI.hpp -> CLI
  set(staged ${CMAKE_BINARY_DIR}/header-libraries/${target})
  file(MAKE_DIRECTORY ${staged})
  file(CREATE_LINK ${${target}_DIR}/${top} ${staged}/${top} SYMBOLIC)
  add_library(korvane::${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(korvane::${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${staged})
endfunction()

korvane_header_library(cli11 CLI/CLI.hpp libcli11-dev)
korvane_header_library(nlohmann_json nlohmann/json.hpp nlohmann-json3-dev)
