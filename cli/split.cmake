# tarnwick-split: the window's cutting and saving as a command-line program,
# built from the core: natively, and with MinGW as a static console program.
if(CMAKE_CROSSCOMPILING)
  set(TW_SPLIT_MAIN cli/split_main_win.cpp)
else()
  set(TW_SPLIT_MAIN cli/split_main_posix.cpp)
endif()
add_library(tarnwick_split STATIC cli/split.cpp cli/split_options.cpp cli/split_json.cpp)
target_link_libraries(tarnwick_split PUBLIC tarnwick_core)
target_compile_options(tarnwick_split PRIVATE ${TW_WARNINGS})
add_executable(tarnwick-split ${TW_SPLIT_MAIN})
target_link_libraries(tarnwick-split PRIVATE tarnwick_split)
target_compile_options(tarnwick-split PRIVATE ${TW_WARNINGS})
if(CMAKE_CROSSCOMPILING)
  # Texts stay UTF-8 inside; the Windows glue converts them for the console.
  target_link_options(tarnwick-split PRIVATE -static)
endif()
# The unit tests run the program's whole path on files in a scratch folder.
target_link_libraries(unit_tests PRIVATE tarnwick_split)
