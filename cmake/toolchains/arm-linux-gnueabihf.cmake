# Cross-builds for 32-bit Raspberry Pi OS 12 (armhf) with Debian's multiarch toolchain
# (crossbuild-essential-armhf and the libraries installed as :armhf); see scripts/cross.sh.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(PKG_CONFIG_EXECUTABLE arm-linux-gnueabihf-pkg-config CACHE FILEPATH "the target's pkg-config")
# The libraries and headers are the target's, in the multiarch folders of /usr;
# the programs run during the build (moc, rcc, uic) are the build machine's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(QT_HOST_PATH /usr CACHE PATH "Qt's host tools (amd64)")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
# GCC notes on every std::map iterator passed by value that its ARM calling
# convention changed in GCC 7.1; the program is built with one compiler, so the
# note says nothing about it.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
