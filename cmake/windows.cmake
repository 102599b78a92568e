# The player for Windows, its core library and the tests that run under Wine.
enable_language(RC)

file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/core/*.cpp
  ${CMAKE_SOURCE_DIR}/app/*.cpp
  ${CMAKE_SOURCE_DIR}/library/*.cpp
  ${CMAKE_SOURCE_DIR}/playback/*.cpp
  ${CMAKE_SOURCE_DIR}/skin/*.cpp
  ${CMAKE_SOURCE_DIR}/settings/*.cpp)
list(REMOVE_ITEM CORE_SOURCES ${CMAKE_SOURCE_DIR}/app/main.cpp)

# The four-lane ramp builder is the one file built for SSE4.1; the raster
# library calls it only after checking the processor. MSVC needs no flag.
if(NOT MSVC AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
  set_source_files_properties(${CMAKE_SOURCE_DIR}/skin/raster_ramp_sse41.cpp PROPERTIES COMPILE_OPTIONS -msse4.1)
endif()

add_library(pebbletune_core STATIC ${CORE_SOURCES})
target_include_directories(pebbletune_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(pebbletune_core PUBLIC UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
target_compile_options(pebbletune_core PRIVATE ${APP_WARNINGS} ${APP_NO_EXCEPTIONS})
target_link_libraries(pebbletune_core PUBLIC
  winmm comctl32 comdlg32 shell32 ole32 gdi32 user32 advapi32 uuid)

# The icon is drawn by a small program of ours at build time. It must run on
# the build machine, so when cross-compiling it is built with the host compiler.
set(ICON_FILE ${CMAKE_BINARY_DIR}/generated/pebbletune.ico)
if(CMAKE_CROSSCOMPILING)
  find_program(HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  add_custom_command(
    OUTPUT ${ICON_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND ${HOST_CXX} -std=c++17 -O2 -o ${CMAKE_BINARY_DIR}/generated/make_icon
            ${CMAKE_SOURCE_DIR}/resources/make_icon.cpp
    COMMAND ${CMAKE_BINARY_DIR}/generated/make_icon ${ICON_FILE}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/make_icon.cpp
    COMMENT "Drawing the icon")
else()
  add_executable(make_icon ${CMAKE_SOURCE_DIR}/resources/make_icon.cpp)
  add_custom_command(
    OUTPUT ${ICON_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
    COMMAND make_icon ${ICON_FILE}
    DEPENDS make_icon
    COMMENT "Drawing the icon")
endif()
add_custom_target(icon DEPENDS ${ICON_FILE})

configure_file(${CMAKE_SOURCE_DIR}/resources/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)

add_executable(Pebbletune WIN32
  ${CMAKE_SOURCE_DIR}/app/main.cpp
  ${CMAKE_SOURCE_DIR}/resources/pebbletune.rc)
add_dependencies(Pebbletune icon)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/pebbletune.rc PROPERTIES
  OBJECT_DEPENDS "${ICON_FILE};${CMAKE_SOURCE_DIR}/resources/pebbletune.manifest;${CMAKE_SOURCE_DIR}/resources/resource.h;${CMAKE_BINARY_DIR}/generated/version.h")
target_include_directories(Pebbletune PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
target_compile_options(Pebbletune PRIVATE ${APP_WARNINGS} ${APP_NO_EXCEPTIONS})
target_link_libraries(Pebbletune PRIVATE pebbletune_core)
set_target_properties(Pebbletune PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Windows takes only its "known" DLLs from the system folder before the exe's
# own; the player's other imports (the media library, the common controls)
# must not be found beside a portable exe in Downloads.
if(MSVC)
  target_link_options(Pebbletune PRIVATE /DEPENDENTLOADFLAG:0x800)
elseif(MINGW)
  # Those two are delay-loaded instead: each loads at its first call, after
  # wWinMain has confined the search to the system folder. The GNU linker
  # here offers neither a dependent-load flag nor delay-loading, so it is
  # given a delay import library; lld makes the delay tables itself from an
  # import library of its own format. Both are made from the export lists of
  # the ordinary import libraries.
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-Wl,--delayload=winmm.dll" LINKER_DELAYLOADS)
  if(LINKER_DELAYLOADS)
    find_program(DELAY_DLLTOOL llvm-dlltool REQUIRED)
    set(delay_output -m i386:x86-64 -l)
  else()
    find_program(DELAY_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
    set(delay_output --output-delaylib)
  endif()
  find_program(MINGW_NM x86_64-w64-mingw32-nm REQUIRED)
  foreach(dll winmm comctl32)
    find_library(${dll}_IMPORTS lib${dll}.a REQUIRED)
    execute_process(COMMAND ${MINGW_NM} -g --defined-only ${${dll}_IMPORTS} OUTPUT_VARIABLE symbols)
    string(REGEX MATCHALL "\n[0-9a-f]+ T [A-Za-z0-9_]+" exports "${symbols}")
    list(TRANSFORM exports REPLACE "^\n[0-9a-f]+ T " "")
    list(REMOVE_DUPLICATES exports)
    list(JOIN exports "\n" exports)
    set(delay ${CMAKE_BINARY_DIR}/generated/${dll}_delay)
    file(WRITE ${delay}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${DELAY_DLLTOOL} -d ${delay}.def -D ${dll}.dll ${delay_output} ${delay}.a
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${DELAY_DLLTOOL} could not make ${delay}.a")
    endif()
    target_link_libraries(Pebbletune PRIVATE ${delay}.a)
    if(LINKER_DELAYLOADS)
      target_link_options(Pebbletune PRIVATE -Wl,--delayload=${dll}.dll)
    endif()
  endforeach()
endif()
if(MINGW)
  # One self-contained exe: only system DLLs are imported.
  target_link_options(Pebbletune PRIVATE -static -municode)
  # The exe that ships carries no debug sections (most of them come from the
  # static runtime); what there is moves to Pebbletune.debug beside it, found
  # again through the debug link when a crash address needs a name.
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    add_custom_command(TARGET Pebbletune POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug Pebbletune.exe Pebbletune.debug
      COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=Pebbletune.debug Pebbletune.exe
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
      VERBATIM)
  endif()
endif()

option(PEBBLETUNE_TESTS "Build the tests (needs GoogleTest sources)" ON)
if(PEBBLETUNE_TESTS)
  include(cmake/tests.cmake)
endif()
