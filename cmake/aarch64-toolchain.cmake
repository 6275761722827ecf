# Cross toolchain for 64-bit ARM Linux (Debian's aarch64-linux-gnu compilers). Every
# program is linked statically, so the tests run under qemu-aarch64-static without
# an ARM system tree. The one arm64 library needed (zlib, the tests' CRC-32 oracle)
# is Debian's multiarch package: it lies in /usr/lib/aarch64-linux-gnu, where the
# cross compiler and CMake's search for this processor already look.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)
