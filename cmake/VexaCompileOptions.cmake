# Sanitizers apply to every target, so that libraries, tests and fuzzers are instrumented alike. The
# fuzzers also need every library compiled with libFuzzer's coverage hooks.
if(VEXA_BUILD_FUZZERS)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VEXA_BUILD_FUZZERS needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
    endif()
    set(VEXA_SANITIZE ON)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(VEXA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Compile settings shared by every target of the project.
function(vexa_set_compile_options target)
    target_compile_definitions(${target} PRIVATE
        QT_NO_URL_CAST_FROM_STRING
        QT_NO_CAST_FROM_BYTEARRAY
        QT_NO_SIGNALS_SLOTS_KEYWORDS
        QT_USE_QSTRINGBUILDER)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra)
    endif()
endfunction()

# A static module library with its namespaced alias (vexa::<name>).
function(vexa_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(vexa_${name} STATIC ${ARG_SOURCES})
    add_library(vexa::${name} ALIAS vexa_${name})
    target_include_directories(vexa_${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/..")
    target_link_libraries(vexa_${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    vexa_set_compile_options(vexa_${name})
endfunction()
