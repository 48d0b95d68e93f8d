# End-to-end benchmark of the real shell under Wine (run by bench/e2e.sh, not
# by CTest). Built like a Win32 test program; left out of the default build.
add_executable(bench_e2e_win EXCLUDE_FROM_ALL
  ${CMAKE_SOURCE_DIR}/bench/e2e_win.cpp ${CMAKE_SOURCE_DIR}/tests/shell/harness_win.cpp res/tarnwick.rc)
target_link_libraries(bench_e2e_win PRIVATE tarnwick_shell psapi)
target_include_directories(bench_e2e_win PRIVATE ${CMAKE_SOURCE_DIR}/tests/shell)
target_compile_options(bench_e2e_win PRIVATE ${TW_WARNINGS} ${TW_WIN_FLAGS})
target_link_options(bench_e2e_win PRIVATE -static)
# The decode benchmark's Windows side (bench/decode.sh).
add_executable(bench_decode_win EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/bench_decode.cpp)
target_link_libraries(bench_decode_win PRIVATE tarnwick_core psapi)
target_link_options(bench_decode_win PRIVATE -static)
