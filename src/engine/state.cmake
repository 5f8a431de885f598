# Root state: paths, inspection, manifest files, change plan and the lock document.
list(APPEND engine_sources
    ${CMAKE_CURRENT_LIST_DIR}/rootpaths.h
    ${CMAKE_CURRENT_LIST_DIR}/rootpaths.cpp
    ${CMAKE_CURRENT_LIST_DIR}/installedstate.h
    ${CMAKE_CURRENT_LIST_DIR}/rootinspection.h
    ${CMAKE_CURRENT_LIST_DIR}/rootinspection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/manifestfiles.h
    ${CMAKE_CURRENT_LIST_DIR}/manifestfiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/changeplan.h
    ${CMAKE_CURRENT_LIST_DIR}/changeplan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lockdocument.h
    ${CMAKE_CURRENT_LIST_DIR}/lockdocument.cpp)
