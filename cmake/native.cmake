# The platform-free code on the build machine, under AddressSanitizer and
# UBSan, with its tests and (when clang is the compiler) the fuzz targets.
set(SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)

# The four-lane ramp builder is the one file built for SSE4.1; the raster
# library calls it only after checking the processor. MSVC needs no flag.
if(NOT MSVC AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  set_source_files_properties(${CMAKE_SOURCE_DIR}/skin/raster_ramp_sse41.cpp PROPERTIES COMPILE_OPTIONS -msse4.1)
endif()

add_library(platform_free STATIC ${PLATFORM_FREE_SOURCES})
target_include_directories(platform_free PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(platform_free PRIVATE ${APP_WARNINGS} ${APP_NO_EXCEPTIONS} ${SANITIZE} -g -O1)
target_link_options(platform_free PUBLIC ${SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
file(GLOB NATIVE_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/support/*.cpp)
foreach(source ${NATIVE_TEST_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source} ${NATIVE_SUPPORT_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE ${SANITIZE} -g)
  target_link_libraries(${name} PRIVATE platform_free gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endforeach()

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(source ${FUZZ_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} ${PLATFORM_FREE_SOURCES} ${NATIVE_SUPPORT_SOURCES})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -g -O1)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  endforeach()
  # A seed writer per target: the starting corpus is made by our own code.
  file(GLOB SEED_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_seeds.cpp)
  foreach(source ${SEED_SOURCES})
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source} ${NATIVE_SUPPORT_SOURCES})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  endforeach()
endif()
