# zoetra-bench: load times of Zoetra against giflib and stb_image, built with
# the same flags as the program itself (`make bench` runs it).
add_executable(zoetra-bench bench/zoetra_bench.cpp bench/loads.cpp bench/stb_load.cpp)
target_include_directories(zoetra-bench PRIVATE ${GIFLIB_INCLUDE_DIR} tests)
target_link_libraries(zoetra-bench PRIVATE zoetra_core ${GIFLIB_LIBRARY} m)
# stb_image is third-party code: its warnings are not ours to fix.
set_source_files_properties(bench/stb_load.cpp PROPERTIES COMPILE_OPTIONS "-w")

# The unit tests check the benchmark's loads against the program's decode.
target_sources(zoetra_tests PRIVATE bench/loads.cpp)
target_include_directories(zoetra_tests PRIVATE bench)
