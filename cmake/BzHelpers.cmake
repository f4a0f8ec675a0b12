# bz_library(NAME [DEPS ...] [EXCLUDE subfolder ...]): one static library per subsystem folder, from
# every source under it except the excluded subfolders (such as the one that holds main).
function(bz_library name)
  cmake_parse_arguments(BZ "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(sub ${BZ_EXCLUDE})
    list(FILTER srcs EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${sub}/")
  endforeach()
  add_library(bz_${name} STATIC ${srcs})
  target_include_directories(bz_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(bz_${name} PUBLIC ${BZ_DEPS})
  set_property(GLOBAL APPEND PROPERTY BZ_ALL_LIBRARIES bz_${name})
endfunction()

# Tests run with the folders Debian's packages install programs into, so that a test starts the
# packaged program and never a copy put on the PATH by hand (tools/check_programs.sh checks them).
set(BZ_TEST_PATH "PATH=/usr/sbin:/usr/bin:/sbin:/bin")

# bz_tests(LIBS ...): one test executable per source file in the calling folder, so that a test
# that fails to build does not take its neighbours with it.
# DISPLAY: the tests open windows; each runs (and is listed) under its own virtual X display with
# software GL (tools/with_display.sh).
function(bz_tests)
  cmake_parse_arguments(BZ "DISPLAY" "TIMEOUT" "LIBS" ${ARGN})
  if(NOT BZ_TIMEOUT)
    set(BZ_TIMEOUT 120)
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" prefix "${rel}")
  foreach(src ${srcs})
    get_filename_component(stem ${src} NAME_WE)
    set(exe test_${prefix}_${stem})
    add_executable(${exe} ${src})
    target_link_libraries(${exe} PRIVATE ${BZ_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    if(BZ_DISPLAY)
      set_property(TARGET ${exe} PROPERTY CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/with_display.sh)
    endif()
    gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${BZ_TIMEOUT} ENVIRONMENT ${BZ_TEST_PATH})
  endforeach()
endfunction()
