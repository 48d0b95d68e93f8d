# libFuzzer targets for every core entry that takes outside input. The native
# tree compiles with g++, which has no libFuzzer, so the targets are compiled
# here with clang++ directly: the core once into instrumented objects, then
# each fuzz/fuzz_*.cpp linked against them. Skipped (with a note) when no
# clang++ is installed, and in the sanitizer trees, which build only unit_tests.
if(TW_SANITIZE)
  return()
endif()

find_program(TW_CLANGXX NAMES clang++ clang++-14 clang++-15 clang++-16)
if(NOT TW_CLANGXX)
  message(STATUS "fuzz: no clang++ found, fuzz targets skipped")
  return()
endif()

# libFuzzer's runtime ships separately from clang (libclang-rt-*-dev): check
# that a trivial target links before wiring anything.
set(_probe_dir ${CMAKE_BINARY_DIR}/fuzz/probe)
file(MAKE_DIRECTORY ${_probe_dir})
file(WRITE ${_probe_dir}/probe.cpp
  "#include <cstddef>\n#include <cstdint>\nextern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
execute_process(
  COMMAND ${TW_CLANGXX} -fsanitize=fuzzer,address,undefined ${_probe_dir}/probe.cpp -o ${_probe_dir}/probe
  RESULT_VARIABLE _probe_rc OUTPUT_QUIET ERROR_QUIET)
if(NOT _probe_rc EQUAL 0)
  message(STATUS "fuzz: ${TW_CLANGXX} cannot link -fsanitize=fuzzer (libclang-rt missing?), fuzz targets skipped")
  return()
endif()
message(STATUS "fuzz: building libFuzzer targets with ${TW_CLANGXX}")

set(TW_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
set(TW_FUZZ_COMMON_FLAGS -std=c++17 -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=all
    -I${CMAKE_SOURCE_DIR})
# The core objects get coverage instrumentation but not libFuzzer's main.
set(TW_FUZZ_CORE_FLAGS ${TW_FUZZ_COMMON_FLAGS} -fsanitize=fuzzer-no-link,address,undefined)
set(TW_FUZZ_LINK_FLAGS -fsanitize=fuzzer,address,undefined)

set(TW_FUZZ_CORE_OBJECTS "")
# The names and label readers too, with the file operations they convert text through.
foreach(src ${TW_CORE_SOURCES} core/cut/piece_names.cpp platform/posix/file_io_posix.cpp)
  string(REPLACE "/" "_" obj_name ${src})
  set(obj ${TW_FUZZ_DIR}/core/${obj_name}.o)
  add_custom_command(
    OUTPUT ${obj}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TW_FUZZ_DIR}/core
    COMMAND ${TW_CLANGXX} ${TW_FUZZ_CORE_FLAGS} -c ${CMAKE_SOURCE_DIR}/${src} -o ${obj}
    DEPENDS ${CMAKE_SOURCE_DIR}/${src}
    IMPLICIT_DEPENDS CXX ${CMAKE_SOURCE_DIR}/${src}
    COMMENT "fuzz: compiling ${src} with clang++"
    VERBATIM)
  list(APPEND TW_FUZZ_CORE_OBJECTS ${obj})
endforeach()

# Seed corpora made by sox and espeak-ng at build time (nothing generated is
# committed), merged with the small hand-made seeds in fuzz/seeds/<target>/.
set(TW_FUZZ_SEED_STAMP ${TW_FUZZ_DIR}/seeds/.stamp)
add_custom_command(
  OUTPUT ${TW_FUZZ_SEED_STAMP}
  COMMAND bash ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.sh ${TW_FUZZ_DIR}/seeds
  COMMAND ${CMAKE_COMMAND} -E touch ${TW_FUZZ_SEED_STAMP}
  DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.sh
  COMMENT "fuzz: generating seed corpora with sox and espeak-ng"
  VERBATIM)

file(GLOB TW_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/fuzz_*.cpp)
set(TW_FUZZ_BINARIES "")
set(TW_FUZZ_NAMES "")
foreach(src ${TW_FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  set(bin ${TW_FUZZ_DIR}/${name})
  add_custom_command(
    OUTPUT ${bin}
    COMMAND ${TW_CLANGXX} ${TW_FUZZ_COMMON_FLAGS} ${TW_FUZZ_LINK_FLAGS} ${src} ${TW_FUZZ_CORE_OBJECTS} -o ${bin}
    DEPENDS ${src} ${TW_FUZZ_CORE_OBJECTS} ${CMAKE_SOURCE_DIR}/fuzz/fuzz_support.h
    IMPLICIT_DEPENDS CXX ${src}
    COMMENT "fuzz: building ${name}"
    VERBATIM)
  list(APPEND TW_FUZZ_BINARIES ${bin})
  list(APPEND TW_FUZZ_NAMES ${name})
endforeach()
add_custom_target(fuzzers ALL DEPENDS ${TW_FUZZ_BINARIES} ${TW_FUZZ_SEED_STAMP})

# A short bounded run per target on a fresh copy of its seeds; the long run is
# scripts/fuzz_long.sh.
set(TW_FUZZ_SECONDS 9 CACHE STRING "Seconds per fuzz target in the CTest run")
foreach(name ${TW_FUZZ_NAMES})
  add_test(NAME ${name}
    COMMAND bash ${CMAKE_SOURCE_DIR}/fuzz/run_fuzz.sh ${TW_FUZZ_DIR}/${name}
            ${TW_FUZZ_DIR}/seeds/${name} ${CMAKE_SOURCE_DIR}/fuzz/seeds/${name}
            -max_total_time=${TW_FUZZ_SECONDS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endforeach()
