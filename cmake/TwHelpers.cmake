# SPDX-License-Identifier: MIT
# Shared compile settings for every target of the project.

add_library(tw_options INTERFACE)
target_compile_options(tw_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Wunused -Woverloaded-virtual -Wconversion -Wsign-conversion -Wnull-dereference
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(TW_WERROR)
  target_compile_options(tw_options INTERFACE -Werror)
endif()
if(TW_SANITIZE)
  target_compile_options(tw_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                              -fno-sanitize-recover=undefined)
  target_link_options(tw_options INTERFACE -fsanitize=address,undefined)
endif()

# tw_sanitizer_defaults(target): gives a program of a sanitizer build the project's leak suppressions.
function(tw_sanitizer_defaults target)
  if(TW_SANITIZE OR TW_BUILD_FUZZ)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/SanitizerDefaults.cpp)
  endif()
endfunction()

# tw_add_library(name SOURCES ... LIBS ...): one layer of the game as a static library.
function(tw_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC tw_options ${ARG_LIBS})
endfunction()

# tw_add_test(name SOURCES ... LIBS ... [PROPERTIES ...]): a GoogleTest executable whose tests run
# headless; PROPERTIES (labels, a time-out) go to every test found in it.
function(tw_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/HeadlessDrivers.cpp)
  tw_sanitizer_defaults(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE tw_options ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE TW_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
  set(properties)
  if(ARG_PROPERTIES)
    set(properties PROPERTIES ${ARG_PROPERTIES})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    ${properties})
endfunction()

# tw_add_folder_library(name [LIBS ...]): a layer made of every .cpp file in the calling folder,
# linked to the layers its line of src/layers.txt names and to the further LIBS (outside libraries).
# A folder whose code has not been written yet gives an interface library, so the layers above link.
function(tw_add_folder_library name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(STRINGS ${PROJECT_SOURCE_DIR}/src/layers.txt line REGEX "^${folder}:")
  if(NOT line)
    message(FATAL_ERROR "src/${folder} has no line in src/layers.txt")
  endif()
  string(REGEX REPLACE "^${folder}:" "" uses "${line}")
  string(STRIP "${uses}" uses)
  separate_arguments(uses UNIX_COMMAND "${uses}")
  foreach(layer IN LISTS uses)
    list(APPEND ARG_LIBS tw_${layer})
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    tw_add_library(${name} SOURCES ${sources} LIBS ${ARG_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE tw_options ${ARG_LIBS})
  endif()
endfunction()

# Fuzzing: the libraries carry coverage instrumentation; the fuzz targets add the libFuzzer driver.
if(TW_BUILD_FUZZ)
  target_compile_options(tw_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(tw_options INTERFACE -fsanitize=address,undefined)
endif()
