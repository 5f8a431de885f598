# Archive extraction, directory copy, hashing and archive acquisition.
vexa_add_test(tst_archiveextraction
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_archiveextraction.cpp
        ${CMAKE_CURRENT_LIST_DIR}/testzipwriter.h ${CMAKE_CURRENT_LIST_DIR}/testzipwriter.cpp
    LIBS vexa::archive vexa::testsupport)
vexa_add_test(tst_directorycopy
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_directorycopy.cpp
    LIBS vexa::archive vexa::testsupport)
vexa_add_test(tst_archiveacquisition
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_archiveacquisition.cpp
    LIBS vexa::engine vexa::testsupport Qt6::Network)
vexa_add_test(tst_sha256hasher
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_sha256hasher.cpp
    LIBS vexa::archive vexa::testsupport)
