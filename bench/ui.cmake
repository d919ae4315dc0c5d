# One Position change of the level meter on a shown offscreen window.
add_executable(bench_leddisplay bench_leddisplay.cpp)
target_link_libraries(bench_leddisplay PRIVATE ui benchmark::benchmark)
