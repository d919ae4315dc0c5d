add_executable(bench_capture bench_capture.cpp)
target_link_libraries(bench_capture PRIVATE capture analysis benchmark::benchmark_main)
