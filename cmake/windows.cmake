# The Win32 shell, the program and the Win32 test programs (MinGW build only).
set(TW_WIN_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
target_compile_options(unit_tests PRIVATE ${TW_WIN_FLAGS})

file(GLOB TW_SHELL_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/app/*_win.cpp
  ${CMAKE_SOURCE_DIR}/wave/*_win.cpp
  ${CMAKE_SOURCE_DIR}/view/*_win.cpp)
list(FILTER TW_SHELL_SOURCES EXCLUDE REGEX "winmain_win\\.cpp$")
add_library(tarnwick_shell STATIC ${TW_SHELL_SOURCES})
target_link_libraries(tarnwick_shell PUBLIC tarnwick_core comctl32 shell32 gdi32 user32 winmm kernel32)
target_compile_options(tarnwick_shell PRIVATE ${TW_WARNINGS} ${TW_WIN_FLAGS})
target_compile_definitions(tarnwick_shell PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

enable_language(RC)
add_executable(Tarnwick WIN32 app/winmain_win.cpp res/tarnwick.rc)
target_link_libraries(Tarnwick PRIVATE tarnwick_shell)
target_compile_options(Tarnwick PRIVATE ${TW_WIN_FLAGS})
target_link_options(Tarnwick PRIVATE -static -mwindows)

# Win32 tests: console programs that drive the real windows in-process.
file(GLOB TW_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/test_*.cpp)
foreach(src ${TW_WIN_TEST_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/tests/win/harness_win.cpp res/tarnwick.rc)
  target_link_libraries(${name} PRIVATE tarnwick_shell)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
  target_compile_options(${name} PRIVATE ${TW_WARNINGS} ${TW_WIN_FLAGS})
  target_link_options(${name} PRIVATE -static)
endforeach()
include(cmake/bench_win.cmake OPTIONAL)
