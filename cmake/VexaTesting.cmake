# vexa_add_test(<name> SOURCES ... LIBS ...)
# One Qt Test executable registered with CTest. Every test runs with the offscreen platform and with
# its home, temporary, configuration and cache directories pointed into the build tree, so no test
# touches the real user's files (the archive cache among them) or environment.
function(vexa_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    vexa_set_compile_options(${name})
    target_compile_definitions(${name} PRIVATE
        VEXA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        VEXA_TESTS_DIR="${PROJECT_SOURCE_DIR}/tests")
    set(sandbox "${CMAKE_BINARY_DIR}/test-sandbox/${name}")
    file(MAKE_DIRECTORY "${sandbox}/home" "${sandbox}/tmp" "${sandbox}/config" "${sandbox}/cache")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${sandbox}/home;TMPDIR=${sandbox}/tmp;XDG_CONFIG_HOME=${sandbox}/config;XDG_CACHE_HOME=${sandbox}/cache;VEXA_SKIP_ENV_UPDATE=1;VEXA_CATALOG_URL=;VEXA_REPOSITORY_DIR=;VEXA_CLIENT_UPDATE_URL=")
endfunction()
