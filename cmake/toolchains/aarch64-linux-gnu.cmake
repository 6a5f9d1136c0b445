# Cross-builds for 64-bit Raspberry Pi OS 12 (arm64) with Debian's multiarch toolchain
# (crossbuild-essential-arm64 and the libraries installed as :arm64); see scripts/cross.sh.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "the target's pkg-config")
# The libraries and headers are the target's, in the multiarch folders of /usr;
# the programs run during the build (moc, rcc, uic) are the build machine's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(QT_HOST_PATH /usr CACHE PATH "Qt's host tools (amd64)")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
