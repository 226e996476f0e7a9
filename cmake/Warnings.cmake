# One warning policy for every target of the project; warnings are errors.
function(marlo_target_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wimplicit-fallthrough -Wformat=2)
endfunction()

# Same policy for C sources (the C compile check of the Tpx header).
function(marlo_c_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# A GoogleTest executable of the project: one per library folder. It links
# the test support library and the test variants of the shared libraries
# (cmake/Variants.cmake), with the test-only calls.
function(marlo_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  marlo_target_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gtest_main GTest::gmock)
  set_target_properties(${name} PROPERTIES MARLO_TESTING ON)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "MARLOTRC_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()
