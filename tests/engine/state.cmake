# Root state: paths, inspection, manifest files, change plan and the lock document.
set(state_test_support
    ${CMAKE_CURRENT_LIST_DIR}/statetestroot.h
    ${CMAKE_CURRENT_LIST_DIR}/statetestroot.cpp)

vexa_add_test(tst_rootpaths SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rootpaths.cpp LIBS vexa::engine)
vexa_add_test(tst_rootinspection
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rootinspection.cpp ${state_test_support}
    LIBS vexa::engine vexa::testsupport)
vexa_add_test(tst_manifestfiles
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_manifestfiles.cpp ${state_test_support}
    LIBS vexa::engine vexa::testsupport)
vexa_add_test(tst_changeplan
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_changeplan.cpp ${state_test_support}
    LIBS vexa::engine vexa::testsupport)
vexa_add_test(tst_lockdocument
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_lockdocument.cpp ${state_test_support}
    LIBS vexa::engine vexa::testsupport)
