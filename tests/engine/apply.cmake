# The apply transaction, root removal and the published VEXA_ROOT.
set(apply_test_support
    ${CMAKE_CURRENT_LIST_DIR}/applytestsupport.h
    ${CMAKE_CURRENT_LIST_DIR}/applytestsupport.cpp)

vexa_add_test(tst_userenvironment
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_userenvironment.cpp ${apply_test_support}
    LIBS vexa::engine vexa::platform vexa::testsupport)

vexa_add_test(tst_rootremoval
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_rootremoval.cpp
    LIBS vexa::engine vexa::testsupport)

vexa_add_test(tst_applytransaction
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_applytransaction.cpp ${apply_test_support}
    LIBS vexa::engine vexa::testsupport)

vexa_add_test(tst_samplepayloads
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_samplepayloads.cpp ${apply_test_support}
    LIBS vexa::engine vexa::testsupport)
