# Cross build for 32-bit ARM hard-float Linux with Debian's cross compilers.
# The target's GLib and GoogleTest come from armhf packages unpacked into
# KIT_ARMHF_DEPS (scripts/install-deps --armhf DIR does that); the programs
# and tests run under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

if(NOT KIT_ARMHF_DEPS)
  set(KIT_ARMHF_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build/armhf-deps")
endif()
get_filename_component(KIT_ARMHF_DEPS "${KIT_ARMHF_DEPS}" ABSOLUTE)
set(KIT_ARMHF_DEPS "${KIT_ARMHF_DEPS}" CACHE PATH "Unpacked armhf packages (GLib, GoogleTest)")
set(KIT_ARMHF_LIBC /usr/arm-linux-gnueabihf)

set(CMAKE_FIND_ROOT_PATH ${KIT_ARMHF_LIBC} ${KIT_ARMHF_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GLib's own dependencies are resolved from the unpacked folder at link time
# and at run time.
set(KIT_ARMHF_LIBRARY_PATH
    "${KIT_ARMHF_DEPS}/usr/lib/arm-linux-gnueabihf:${KIT_ARMHF_DEPS}/lib/arm-linux-gnueabihf")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-rpath-link,${KIT_ARMHF_LIBRARY_PATH}")

find_program(KIT_QEMU_ARM qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${KIT_QEMU_ARM} -L ${KIT_ARMHF_LIBC} -E LD_LIBRARY_PATH=${KIT_ARMHF_LIBRARY_PATH})
