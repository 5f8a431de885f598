# Root state: inspection, planning and manifest building on a large root.
vexa_add_benchmark(bench_rootstate SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_rootstate.cpp LIBS vexa::engine)
