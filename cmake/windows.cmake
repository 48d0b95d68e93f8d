# The Win32 shell, the program and the Win32 test programs (MinGW build only).
set(TW_WIN_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
target_compile_options(unit_tests PRIVATE ${TW_WIN_FLAGS})

# The shell in three layers over the core, a folder each, each linking only
# those below it:
#   shell/workers  loading, saving, playback, the recording shown; they know
#                  the window only as a WindowReport
#   shell/graph    the graph, its cuts, zoom, the ways of cutting and the
#                  graph's menu
#   shell/app      start-up, the windows; implements the report
function(tw_shell_library name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shell/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "winmain_win\\.cpp$")
  add_library(${name} STATIC ${sources})
  target_link_libraries(${name} PUBLIC ${ARGN})
  target_compile_options(${name} PRIVATE ${TW_WARNINGS} ${TW_WIN_FLAGS})
  target_compile_definitions(${name} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endfunction()
tw_shell_library(tarnwick_workers workers tarnwick_core shell32 user32 winmm kernel32)
tw_shell_library(tarnwick_graph graph tarnwick_workers gdi32 user32)
tw_shell_library(tarnwick_shell app tarnwick_graph comctl32 comdlg32 shell32 gdi32 user32)

enable_language(RC)
add_executable(Tarnwick WIN32 shell/app/winmain_win.cpp res/tarnwick.rc)
target_link_libraries(Tarnwick PRIVATE tarnwick_shell)
target_compile_options(Tarnwick PRIVATE ${TW_WIN_FLAGS})
target_link_options(Tarnwick PRIVATE -static -mwindows)

# Win32 tests: console programs that drive the real windows in-process.
file(GLOB TW_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/shell/test_*.cpp)
foreach(src ${TW_WIN_TEST_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/tests/shell/harness_win.cpp res/tarnwick.rc)
  target_link_libraries(${name} PRIVATE tarnwick_shell)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/shell)
  target_compile_options(${name} PRIVATE ${TW_WARNINGS} ${TW_WIN_FLAGS})
  target_link_options(${name} PRIVATE -static)
endforeach()
include(cmake/bench_win.cmake OPTIONAL)
