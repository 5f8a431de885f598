# Vexa toolchain for MSVC 2022, 64-bit: the packages of this Vexa root, built with msvc2022_64.
include("${CMAKE_CURRENT_LIST_DIR}/vexa.cmake")
set(VEXA_TOOLCHAIN "msvc2022_64" CACHE STRING "Toolchain the Vexa packages were built with")

if(CMAKE_GENERATOR MATCHES "^Visual Studio")
    set(CMAKE_GENERATOR_PLATFORM x64)
    set(CMAKE_GENERATOR_TOOLSET v143)
elseif(CMAKE_HOST_WIN32)
    # Ninja and Makefile generators take the compiler of the developer prompt they run in.
    set(CMAKE_C_COMPILER cl)
    set(CMAKE_CXX_COMPILER cl)
endif()
