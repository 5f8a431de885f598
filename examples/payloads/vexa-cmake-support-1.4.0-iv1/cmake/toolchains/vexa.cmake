# Vexa toolchain file: makes the packages installed in this Vexa root visible to find_package().
# Use it from a preset ("toolchainFile": "$env{VEXA_ROOT}/cmake/toolchains/vexa.cmake") or on the
# command line with -DCMAKE_TOOLCHAIN_FILE=<Vexa root>/cmake/toolchains/vexa.cmake.
if(CMAKE_VERSION VERSION_LESS 3.19)
    message(FATAL_ERROR "The Vexa toolchain needs CMake 3.19 or newer.")
endif()

get_filename_component(_vexa_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(VEXA_ROOT "${_vexa_root}" CACHE PATH "The Vexa root this build takes its packages from")

# The root's manifest lists the install directory of every package it holds; each one is a prefix.
set(_vexa_manifest "${VEXA_ROOT}/manifest/installed-packages.json")
if(EXISTS "${_vexa_manifest}")
    file(READ "${_vexa_manifest}" _vexa_json)
    string(JSON _vexa_count ERROR_VARIABLE _vexa_error LENGTH "${_vexa_json}" packages)
    if(NOT _vexa_error AND _vexa_count GREATER 0)
        math(EXPR _vexa_last "${_vexa_count} - 1")
        foreach(_vexa_index RANGE ${_vexa_last})
            string(JSON _vexa_path ERROR_VARIABLE _vexa_error GET "${_vexa_json}" packages ${_vexa_index} path)
            if(NOT _vexa_error AND IS_DIRECTORY "${_vexa_path}")
                list(APPEND CMAKE_PREFIX_PATH "${_vexa_path}")
            endif()
        endforeach()
    endif()
endif()

list(APPEND CMAKE_MODULE_PATH "${VEXA_ROOT}/cmake/modules")
# Toolchain files are read again for every try_compile project; keep the lists free of repeats.
list(REMOVE_DUPLICATES CMAKE_PREFIX_PATH)
list(REMOVE_DUPLICATES CMAKE_MODULE_PATH)
