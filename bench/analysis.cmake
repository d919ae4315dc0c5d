add_executable(bench_analysis bench_analysis.cpp)
target_link_libraries(bench_analysis PRIVATE analysis benchmark::benchmark_main)

# The strict receiver: its speed, and a probe that runs it over a WAV for
# receiver-vs-peers.sh.
add_executable(bench_strict bench_strict.cpp)
target_link_libraries(bench_strict PRIVATE analysis benchmark::benchmark_main)
add_executable(strict_probe strict_probe.cpp)
target_link_libraries(strict_probe PRIVATE analysis)
add_executable(receiver_cases receiver_cases.cpp ${PROJECT_SOURCE_DIR}/tests/ToneSignals.cpp)
target_include_directories(receiver_cases PRIVATE ${PROJECT_SOURCE_DIR}/tests)
