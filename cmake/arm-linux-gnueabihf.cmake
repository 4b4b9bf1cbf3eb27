# Cross build for the router's 32-bit ARM processor with Debian's
# arm-linux-gnueabihf compiler.  Programs built for the target, the tests
# among them, run on the build machine under qemu-arm (Debian's qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(ARNONAT_TARGET_TRIPLE arm-linux-gnueabihf)
set(ARNONAT_TARGET_ROOT /usr/${ARNONAT_TARGET_TRIPLE})
set(CMAKE_C_COMPILER ${ARNONAT_TARGET_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ARNONAT_TARGET_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH ${ARNONAT_TARGET_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and test discovery start target programs through the emulator.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${ARNONAT_TARGET_ROOT})
