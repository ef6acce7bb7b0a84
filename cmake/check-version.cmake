# The version is typed once, in project(); the manual's header and the
# AppStream file's latest release are checked against it here:
#   cmake -DVERSION=1.99 -DMANUAL=data/varnel.1 -DMETAINFO=data/....metainfo.xml -P check-version.cmake
file(STRINGS ${MANUAL} header REGEX "^\\.TH ")
string(REGEX MATCH "\"Varnel ([0-9.]+)\"" found "${header}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${MANUAL}: the .TH line says \"Varnel ${CMAKE_MATCH_1}\"; the project is ${VERSION}")
endif()
file(READ ${METAINFO} metainfo)
string(REGEX MATCH "<release version=\"([0-9.]+)\"" found "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${METAINFO}: the latest release is ${CMAKE_MATCH_1}; the project is ${VERSION}")
endif()
message(STATUS "the manual and the AppStream file say ${VERSION}, as the project does")
