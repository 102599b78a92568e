# Tests: GoogleTest programs run under Wine by ctest, the platform-free tests
# built natively with sanitizers, the fuzz run and the process-level scripts.
include(GoogleTest)

# GCC 12 reports false stringop-overflow errors inside inlined std::vector
# code that test helpers use heavily; keep every other warning fatal.
set(TEST_WARNINGS ${APP_WARNINGS})
if(NOT MSVC)
  list(APPEND TEST_WARNINGS -Wno-stringop-overflow)
endif()

if(CMAKE_CROSSCOMPILING)
  # ctest reaches Wine through a wrapper that prepares the private prefix and
  # keeps Wine's helper processes off the test's output pipe.
  configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/support/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/native/support/*.cpp)
add_library(test_support STATIC ${TEST_SUPPORT_SOURCES})
target_include_directories(test_support PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(test_support PUBLIC pebbletune_core gtest)
target_compile_options(test_support PRIVATE ${TEST_WARNINGS})
if(MINGW)
  target_link_options(test_support INTERFACE -static)
endif()

# Started once before the tests (and by the ctest wrapper), so that the Wine
# services a first test would start do not inherit ctest's pipes.
add_executable(wine_warmup ${CMAKE_SOURCE_DIR}/tests/tools/wine_warmup.cpp)
target_link_libraries(wine_warmup PRIVATE ole32 uuid user32)
target_compile_options(wine_warmup PRIVATE ${TEST_WARNINGS})
if(MINGW)
  target_link_options(wine_warmup PRIVATE -static)
endif()

# One program per test file; every case runs in a fresh process, so the one
# state record and the window class start clean each time.
file(GLOB TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
foreach(source ${TEST_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source} ${CMAKE_SOURCE_DIR}/tests/tools/unbuffered_output.cpp)
  target_link_libraries(${name} PRIVATE test_support gtest_main)
  target_compile_options(${name} PRIVATE ${TEST_WARNINGS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 180)
endforeach()

# The accessibility test reads the window as a reader does. uuid comes
# first, or oleacc's import library would supply the interface ids.
target_link_libraries(accessibility_test PRIVATE uuid oleacc)

# The version resource is compared with the project version itself.
target_link_libraries(about_test PRIVATE version)
target_compile_definitions(about_test PRIVATE
  "PEBBLETUNE_PROJECT_VERSION=L\"${PROJECT_VERSION}\""
  PEBBLETUNE_PROJECT_MAJOR=${PROJECT_VERSION_MAJOR}
  PEBBLETUNE_PROJECT_MINOR=${PROJECT_VERSION_MINOR}
  PEBBLETUNE_PROJECT_PATCH=${PROJECT_VERSION_PATCH}
  "PEBBLETUNE_PROJECT_COPYRIGHT=L\"${PEBBLETUNE_COPYRIGHT}\"")

# The platform-free code built natively (build/native) under AddressSanitizer
# and UBSan, and the bounded fuzz run.
set(NATIVE_BUILD_DIR "" CACHE PATH "Build directory of the native sanitizer build")
if(NATIVE_BUILD_DIR)
  file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
  foreach(source ${NATIVE_TEST_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_test(NAME native.${name} COMMAND ${NATIVE_BUILD_DIR}/${name})
  endforeach()
  set(FUZZ_SECONDS 60 CACHE STRING "Seconds the fuzz run lasts")
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(source ${FUZZ_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_test(NAME fuzz.${name}
      COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/run-fuzz.sh ${NATIVE_BUILD_DIR}/${name} ${FUZZ_SECONDS})
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 300)
  endforeach()
endif()

# Started by process tests that need the exit code Windows reports for the
# player, which under Wine can differ from the host process's status.
add_executable(run_and_wait ${CMAKE_SOURCE_DIR}/tests/tools/run_and_wait.cpp)
target_compile_options(run_and_wait PRIVATE ${TEST_WARNINGS})
if(MINGW)
  target_link_options(run_and_wait PRIVATE -static)
endif()

# Stands in for a running instance that goes away during a hand-off.
add_executable(vanishing_window ${CMAKE_SOURCE_DIR}/tests/tools/vanishing_window.cpp)
target_compile_options(vanishing_window PRIVATE ${TEST_WARNINGS})
if(MINGW)
  target_link_options(vanishing_window PRIVATE -static)
endif()

# Holds the installed exe without a window for the installer test.
add_executable(suspended_start ${CMAKE_SOURCE_DIR}/tests/tools/suspended_start.cpp)
target_compile_options(suspended_start PRIVATE ${TEST_WARNINGS})
if(MINGW)
  target_link_options(suspended_start PRIVATE -static -municode)
endif()

# Planted beside a copy of the player under system libraries' names.
add_library(planted_dll SHARED ${CMAKE_SOURCE_DIR}/tests/tools/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "")
target_compile_options(planted_dll PRIVATE ${TEST_WARNINGS})
if(MINGW)
  target_link_options(planted_dll PRIVATE -static)
endif()

# Process-level tests: scripts that run Pebbletune.exe itself. The installer
# test starts the Explorer verbs through run_verb, as the shell would.
add_executable(run_verb ${CMAKE_SOURCE_DIR}/tests/process/run_verb.cpp)
target_compile_definitions(run_verb PRIVATE UNICODE _UNICODE)
target_compile_options(run_verb PRIVATE ${TEST_WARNINGS})
target_link_libraries(run_verb PRIVATE advapi32)
if(MINGW)
  target_link_options(run_verb PRIVATE -static -municode)
endif()
# Reads the running player through its accessible objects, as a screen
# reader in another process would.
add_executable(msaa_checker ${CMAKE_SOURCE_DIR}/tests/tools/msaa_checker.cpp)
target_compile_options(msaa_checker PRIVATE ${TEST_WARNINGS})
target_link_libraries(msaa_checker PRIVATE uuid oleacc ole32 oleaut32 user32)
if(MINGW)
  target_link_options(msaa_checker PRIVATE -static -municode)
endif()
file(GLOB PROCESS_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/process/*_test.sh)
foreach(script ${PROCESS_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME process.${name}
    COMMAND bash ${script} $<TARGET_FILE:Pebbletune> ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
  set_tests_properties(process.${name} PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endforeach()

# Benchmarks: Windows programs built beside the tests, run by scripts/bench.sh.
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
foreach(source ${BENCH_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE test_support)
  target_compile_options(${name} PRIVATE ${TEST_WARNINGS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endforeach()
