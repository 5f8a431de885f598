# Archive operations against the system's own tools: run bench/engine/run-archive-bench.sh.
vexa_add_benchmark(bench_archive SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_archive.cpp LIBS vexa::engine vexa::archive)
