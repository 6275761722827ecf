# What `cmake --install` puts where, and the packages cpack makes of it (scripts/package
# builds both). Everything belongs to the component "zrk"; the packages take only that,
# so test programs and third-party code never end up in them.
#
#   Debian package (a Linux build)      Windows zip (a Windows build)
#   bin/zrk                             zrk-<version>-win32/zrk.exe
#   lib/zrk/zrkcombine.exe              zrk-<version>-win32/zrkcombine.exe
#   lib/zrk/x64/zrkcombine.exe          zrk-<version>-win32/x64/zrkcombine.exe
#   share/man/man1/zrk.1.gz             zrk-<version>-win32/README.md
#   share/bash-completion/completions/zrk
#   share/doc/zrk/README.md
#
# zrk looks for the program beside itself and in ../lib/zrk, the x64 one (split --arch
# x64) under x64/ in both (tools/zrk/stub_search.h), so any prefix works.
#
# The x64 program comes from the windows64 build, given by its path.
set(ZRK_STUB_PROGRAM_X64 "" CACHE FILEPATH "zrkcombine.exe of the x64 Windows build, for x64/ beside the 32-bit one")
if(WIN32)
  install(TARGETS zrk zrkcombine RUNTIME DESTINATION . COMPONENT zrk)
  if(ZRK_STUB_PROGRAM_X64)
    install(PROGRAMS ${ZRK_STUB_PROGRAM_X64} DESTINATION x64 COMPONENT zrk)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION . COMPONENT zrk)
else()
  install(TARGETS zrk RUNTIME DESTINATION bin COMPONENT zrk)
  # A Linux build does not make the Windows programs; the two builds' are given here.
  set(ZRK_STUB_PROGRAM "" CACHE FILEPATH "zrkcombine.exe of the 32-bit Windows build, for lib/zrk")
  if(ZRK_STUB_PROGRAM)
    install(PROGRAMS ${ZRK_STUB_PROGRAM} DESTINATION lib/zrk COMPONENT zrk)
  endif()
  if(ZRK_STUB_PROGRAM_X64)
    install(PROGRAMS ${ZRK_STUB_PROGRAM_X64} DESTINATION lib/zrk/x64 COMPONENT zrk)
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/zrk.bash-completion DESTINATION share/bash-completion/completions
          RENAME zrk COMPONENT zrk)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/zrk COMPONENT zrk)

  # The manual page, made from the tool's own --help: only in a build without
  # sanitizers (the packaged one) that can run the tool.
  find_program(ZRK_HELP2MAN help2man)
  if(NOT CMAKE_CROSSCOMPILING AND NOT ZRK_SANITIZE AND ZRK_HELP2MAN)
    set(page ${CMAKE_BINARY_DIR}/zrk.1.gz)
    add_custom_command(OUTPUT ${page}
                       COMMAND ${CMAKE_SOURCE_DIR}/packaging/make-manpage $<TARGET_FILE:zrk> ${page}
                       DEPENDS zrk ${CMAKE_SOURCE_DIR}/packaging/make-manpage
                       COMMENT "Making the manual page from zrk --help")
    add_custom_target(zrk_manpage ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION share/man/man1 COMPONENT zrk)
  elseif(NOT CMAKE_CROSSCOMPILING AND NOT ZRK_SANITIZE)
    message(WARNING "help2man not found: the package will have no manual page (scripts/deps installs it)")
  endif()
endif()

set(CPACK_PACKAGE_NAME zrk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZRK")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "splits a file into volumes plus a Windows program that rebuilds it")
set(CPACK_PACKAGE_DESCRIPTION
    "zrk cuts a large file of any kind into volumes plus one small Windows program that\n"
    "rebuilds the original with its name, time and attributes, optionally encrypted with\n"
    "a password or a key file. zrk also rebuilds, describes and checks such archives.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};ZRK;zrk;/")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME zrk-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME zrk-${PROJECT_VERSION}-win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(ZRK_PACKAGE_MAINTAINER "Seed ef815e75 maintainers <maintainers@users.noreply.c-seed-ef815e75.example>"
      CACHE STRING "The Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZRK_PACKAGE_MAINTAINER})
endif()
include(CPack)
