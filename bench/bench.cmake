# zoetra-bench: load times of Zoetra against giflib and stb_image, built with
# the same flags as the program itself (`make bench` runs it).
add_executable(zoetra-bench bench/zoetra_bench.cpp bench/stb_load.cpp)
target_link_libraries(zoetra-bench PRIVATE zoetra_comparison m)
# stb_image is third-party code: its warnings are not ours to fix.
set_source_files_properties(bench/stb_load.cpp PROPERTIES COMPILE_OPTIONS "-w")
