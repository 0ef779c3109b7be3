# Writes the package manager's manifests for one Velmora.zip: run with
#   cmake -DZIP=<Velmora.zip> -DOUTPUT_DIR=<folder> -DTEMPLATES=<a;b;c>
#         -DPACKAGE_ID=<id> -DPACKAGE_VERSION=<1.2.3.4> -DDISPLAY_VERSION=<1.20>
#         -DARCHITECTURE=<x64|x86> -DINSTALLER_URL=<address> [-DPLACEHOLDER_URL=ON]
#         -P generate.cmake
# Each template <name>.yaml.in becomes OUTPUT_DIR/<name>.yaml. The folder
# holds nothing else afterwards: the package manager reads every manifest
# in the folder it is given as one package version.
cmake_minimum_required(VERSION 3.20)

foreach(var ZIP OUTPUT_DIR TEMPLATES PACKAGE_ID PACKAGE_VERSION DISPLAY_VERSION ARCHITECTURE INSTALLER_URL)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "generate.cmake: -D${var}=... is missing")
  endif()
endforeach()
if(NOT EXISTS "${ZIP}" OR IS_DIRECTORY "${ZIP}")
  message(FATAL_ERROR "generate.cmake: no installer archive at ${ZIP}")
endif()

file(SHA256 "${ZIP}" sha256)
# The schema takes either case; the package manager's own tools write upper case.
string(TOUPPER "${sha256}" WINGET_INSTALLER_SHA256)

set(WINGET_PACKAGE_ID "${PACKAGE_ID}")
set(WINGET_PACKAGE_VERSION "${PACKAGE_VERSION}")
set(WINGET_DISPLAY_VERSION "${DISPLAY_VERSION}")
set(WINGET_ARCHITECTURE "${ARCHITECTURE}")
# The address goes into a single-quoted YAML scalar, where a quote is doubled.
string(REPLACE "'" "''" WINGET_INSTALLER_URL "${INSTALLER_URL}")

file(GLOB stale "${OUTPUT_DIR}/*.yaml")
if(stale)
  file(REMOVE ${stale})
endif()
foreach(template ${TEMPLATES})
  get_filename_component(name "${template}" NAME)
  string(REGEX REPLACE "\\.in$" "" name "${name}")
  configure_file("${template}" "${OUTPUT_DIR}/${name}" @ONLY NEWLINE_STYLE UNIX)
  # configure_file keeps the time of a file it would not change; the build
  # must still see it newer than the zip it was made from.
  file(TOUCH "${OUTPUT_DIR}/${name}")
endforeach()

if(PLACEHOLDER_URL)
  message(WARNING "The manifests in ${OUTPUT_DIR} name ${INSTALLER_URL} as the installer's "
                  "address, which is not a real address: configure with "
                  "-DVELMORA_RELEASE_URL=https://.../Velmora.zip to publish them.")
endif()
