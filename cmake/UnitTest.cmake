# twd_unit_test(<name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest executable whose cases CTest runs with the label "unit"; the sanitizer
# presets run exactly this label.
function(twd_unit_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name}
    PROPERTIES LABELS unit
    DISCOVERY_TIMEOUT 30)
endfunction()
