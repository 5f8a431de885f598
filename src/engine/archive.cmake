# Extraction, directory copy and hashing: Qt Core plus the zip reader, shared with the update helper.
list(APPEND archive_sources
    ${CMAKE_CURRENT_LIST_DIR}/archiveextraction.h ${CMAKE_CURRENT_LIST_DIR}/archiveextraction.cpp
    ${CMAKE_CURRENT_LIST_DIR}/zipdirectory.h ${CMAKE_CURRENT_LIST_DIR}/zipdirectory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directorycopy.h ${CMAKE_CURRENT_LIST_DIR}/directorycopy.cpp
    ${CMAKE_CURRENT_LIST_DIR}/filereplacement.h ${CMAKE_CURRENT_LIST_DIR}/filereplacement.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sha256hasher.h ${CMAKE_CURRENT_LIST_DIR}/sha256hasher.cpp)

# Archive acquisition needs Qt Network and the catalog, so it lives in the engine library.
list(APPEND engine_sources
    ${CMAKE_CURRENT_LIST_DIR}/archiveacquisition.h ${CMAKE_CURRENT_LIST_DIR}/archiveacquisition.cpp)

# Runs after src/engine/CMakeLists.txt has created vexa_archive from the list above.
cmake_language(DEFER CALL vexa_configure_archive_library)
function(vexa_configure_archive_library)
    if(NOT TARGET vexa_archive)
        return()
    endif()
    # The zip reader is private Qt API: part of QtGui up to Qt 6.4, of QtCore from Qt 6.5 on.
    if(Qt6Core_VERSION VERSION_GREATER_EQUAL 6.5)
        find_package(Qt6 QUIET COMPONENTS CorePrivate)
        target_link_libraries(vexa_archive PRIVATE Qt6::CorePrivate)
    else()
        find_package(Qt6 REQUIRED COMPONENTS Gui)
        target_link_libraries(vexa_archive PRIVATE Qt6::GuiPrivate)
    endif()
    # SHA-256 through libcrypto where available: several times faster than Qt's own implementation.
    find_package(OpenSSL QUIET COMPONENTS Crypto)
    if(OpenSSL_FOUND AND TARGET OpenSSL::Crypto)
        target_link_libraries(vexa_archive PRIVATE OpenSSL::Crypto)
        target_compile_definitions(vexa_archive PRIVATE VEXA_HAVE_OPENSSL_CRYPTO)
    elseif(WIN32)
        target_link_libraries(vexa_archive PRIVATE bcrypt)
    endif()
    # zlib's CRC-32 is several times faster than a table loop; the loop is the fallback.
    find_package(ZLIB QUIET)
    if(ZLIB_FOUND)
        target_link_libraries(vexa_archive PRIVATE ZLIB::ZLIB)
        target_compile_definitions(vexa_archive PRIVATE VEXA_HAVE_ZLIB)
    endif()
endfunction()
