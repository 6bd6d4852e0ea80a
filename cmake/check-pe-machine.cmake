# Run at install time: stops the install unless KORVANE_PE_FILE is a PE image whose COFF
# machine field is KORVANE_PE_MACHINE_FIELD (4 hex digits; KORVANE_PE_MACHINE names it),
# saying which build to make (KORVANE_PE_PRESET).
if(NOT EXISTS "${KORVANE_PE_FILE}")
  message(FATAL_ERROR "The package carries korvane-cli.exe built for ${KORVANE_PE_MACHINE}, "
    "and ${KORVANE_PE_FILE} is not there: build it first (cmake --preset ${KORVANE_PE_PRESET} "
    "&& cmake --build --preset ${KORVANE_PE_PRESET}), or name its build folder with "
    "-DKORVANE_WIN32_BUILD_DIR / -DKORVANE_WIN64_BUILD_DIR")
endif()
file(READ "${KORVANE_PE_FILE}" dos_magic LIMIT 2 HEX)
file(SIZE "${KORVANE_PE_FILE}" size)
set(field "none")
if(dos_magic STREQUAL "4d5a" AND size GREATER 64)
  # e_lfanew, little-endian at offset 60, then "PE\0\0" and the machine field.
  file(READ "${KORVANE_PE_FILE}" lfanew OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" lfanew "${lfanew}")
  math(EXPR header "0x${lfanew}")
  # Past the end of the file the read is empty, and so no match.
  file(READ "${KORVANE_PE_FILE}" signature OFFSET ${header} LIMIT 6 HEX)
  if(signature MATCHES "^50450000(..)(..)$")
    set(field "${CMAKE_MATCH_2}${CMAKE_MATCH_1}")
  endif()
endif()
if(NOT field STREQUAL KORVANE_PE_MACHINE_FIELD)
  message(FATAL_ERROR "${KORVANE_PE_FILE} is not a Windows program for ${KORVANE_PE_MACHINE} "
    "(PE machine field ${field}, not ${KORVANE_PE_MACHINE_FIELD}): is the build folder the "
    "right one?")
endif()
