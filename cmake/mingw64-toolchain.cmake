# Cross toolchain for x64 Windows: the same sources as a 64-bit program, which
# hosts without 32-bit user code run under Wine's 64-bit loader.
set(ZRK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
