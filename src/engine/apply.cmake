# The apply transaction: path safety, removal and pruning, verification, VEXA_ROOT and applyPlan itself.
list(APPEND engine_sources
    ${CMAKE_CURRENT_LIST_DIR}/pathcontainment.h
    ${CMAKE_CURRENT_LIST_DIR}/pathcontainment.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rootremoval.h
    ${CMAKE_CURRENT_LIST_DIR}/rootremoval.cpp
    ${CMAKE_CURRENT_LIST_DIR}/packageverification.h
    ${CMAKE_CURRENT_LIST_DIR}/packageverification.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rootvariable.h
    ${CMAKE_CURRENT_LIST_DIR}/rootvariable.cpp
    ${CMAKE_CURRENT_LIST_DIR}/applytransaction.h
    ${CMAKE_CURRENT_LIST_DIR}/applytransaction.cpp)
