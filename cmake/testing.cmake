# Test programs: GoogleTest from Debian (native) or built from Debian's sources
# with the cross toolchain (Windows, arm64), one CTest entry per program. arm64
# programs run under the toolchain's emulator (qemu-aarch64-static). Windows
# programs run under Wine in a private prefix inside the build tree, with one
# persistent wineserver on a private display kept up for the whole run by a CTest
# fixture. One prefix for every test: where 32-bit code is emulated, making one
# takes minutes.
enable_testing()

set(ZRK_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
set(ZRK_VECTORS_DIR ${CMAKE_SOURCE_DIR}/tests/vectors)

if(WIN32)
  set(ZRK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/cmake/wine-run;${ZRK_WINEPREFIX})
  # On a host that runs i386 code only through emulation the suite runs the x64
  # build; given the 32-bit build's tree, it also runs that build's crypto tests
  # and one wizard run of the 32-bit program we ship.
  set(ZRK_EMULATED_I686_BUILD "" CACHE PATH "32-bit Windows build tree, run here under emulation")
endif()

if(BUILD_TESTING)
  if(CMAKE_CROSSCOMPILING)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()

  if(WIN32)
    # The server's display: one free at configure time.
    set(number 90)
    while(EXISTS /tmp/.X${number}-lock OR EXISTS /tmp/.X11-unix/X${number})
      math(EXPR number "${number} + 1")
    endwhile()
    set(ZRK_WINE_DISPLAY ${number} CACHE INTERNAL "X display of the Windows tests' wineserver")
    # What a test that draws windows runs with (Japanese texts need the locale).
    set(ZRK_GUI_ENVIRONMENT "DISPLAY=:${ZRK_WINE_DISPLAY};WINEPREFIX=${ZRK_WINEPREFIX};LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8")
    set(server ${CMAKE_SOURCE_DIR}/cmake/wine-server)
    add_test(NAME wine_server_start COMMAND ${server} start ${ZRK_WINEPREFIX} ${ZRK_WINE_DISPLAY} ${CMAKE_BINARY_DIR}/xvfb.pid)
    add_test(NAME wine_server_stop COMMAND ${server} stop ${ZRK_WINEPREFIX} ${ZRK_WINE_DISPLAY} ${CMAKE_BINARY_DIR}/xvfb.pid)
    set_tests_properties(wine_server_start PROPERTIES FIXTURES_SETUP wine LABELS fixture)
    set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine LABELS fixture)
  endif()
endif()

# zrk_add_test_program(NAME SOURCES file... LIBS target...)
function(zrk_add_test_program name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} zrk_build_options GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE ZRK_VECTORS_DIR="${ZRK_VECTORS_DIR}")
  set(report ${ZRK_TEST_RESULTS}/${name}.xml)
  if(WIN32)
    set(report Z:${report})  # Wine's drive for the Linux root; a bare /path is drive-relative
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${report})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
