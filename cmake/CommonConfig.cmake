# One INTERFACE target carries the language level, warnings and sanitizer flags;
# every library, program, test and benchmark links it.
add_library(vexora_options INTERFACE)
target_compile_features(vexora_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(vexora_options INTERFACE -Wall -Wextra -Wpedantic)
if(VEXORA_WERROR)
  target_compile_options(vexora_options INTERFACE -Werror)
endif()
# Release optimises at -O2, like RelWithDebInfo and the Windows cross-build: at -O3 GCC 12
# takes the standard library's own string concatenations for overlapping copies
# (-Wrestrict false positives), and the build is to be free of warnings. A value given on
# the command line stays.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_FLAGS_RELEASE STREQUAL "-O3 -DNDEBUG")
  set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING
      "Flags used by the CXX compiler during RELEASE builds." FORCE)
endif()
target_compile_definitions(vexora_options INTERFACE
  VEXORA_VERSION="${PROJECT_VERSION}"
  VEXORA_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  VEXORA_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  VEXORA_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  VEXORA_VERSION_TWEAK=${PROJECT_VERSION_TWEAK})
if(VEXORA_FUZZ)
  # Instrument the libraries too, so the fuzzers get coverage feedback from them.
  target_compile_options(vexora_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(vexora_options INTERFACE -fsanitize=address,undefined)
endif()
if(VEXORA_SANITIZE)
  target_compile_options(vexora_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(vexora_options INTERFACE -fsanitize=address,undefined)
endif()

# vexora_layer(NAME [DEPS ...]): a static library from every source of src/NAME.
function(vexora_layer name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A layer without sources yet: headers only.
    add_library(vexora_${name} INTERFACE)
    target_include_directories(vexora_${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(vexora_${name} INTERFACE vexora_options ${L_DEPS})
    return()
  endif()
  add_library(vexora_${name} STATIC ${srcs})
  target_include_directories(vexora_${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(vexora_${name} PUBLIC vexora_options ${L_DEPS})
endfunction()

# vexora_test(NAME [DEPS ...] [POSIX_ONLY file.cpp ...]): one GoogleTest program from
# every source of tests/NAME; the POSIX_ONLY sources are left out of a Windows build.
function(vexora_test name)
  cmake_parse_arguments(T "" "" "DEPS;POSIX_ONLY" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  if(WIN32)
    foreach(f ${T_POSIX_ONLY})
      list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${name}/${f})
    endforeach()
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  set_target_properties(test_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(test_${name} PRIVATE vexora_options GTest::gtest GTest::gmock GTest::gtest_main ${T_DEPS})
  target_compile_definitions(test_${name} PRIVATE
    VEXORA_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    VEXORA_PROGRAM_DIR="${VEXORA_PROGRAM_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # One test per program: every start under an emulator (Wine) costs time, and
    # discovering the cases would start each program at build time.
    add_test(NAME test_${name} COMMAND test_${name})
    return()
  endif()
  # One variable only: a list here would be split into separate properties. The
  # sanitizer options come from the environment (.ci/run sets them).
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-Faults*:*/Faults*"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  # Fault-injection suites (named Faults...) carry the label "faults": ctest -L faults
  # runs them alone.
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "Faults*:*/Faults*"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS faults)
endfunction()
