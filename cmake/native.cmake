# Native build: the model with fakes of the ports, unit tests under the sanitizers, benchmarks.

file(GLOB HAULIX_UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(haulix_unit_tests ${HAULIX_UNIT_TEST_SOURCES})
target_link_libraries(haulix_unit_tests PRIVATE haulix_fakes gmock gtest_main)
gtest_discover_tests(haulix_unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)

# The model folders reach the OS only through the ports.
add_test(NAME PortableModel.UsesTheOsOnlyThroughPorts
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-portable.sh ${CMAKE_SOURCE_DIR})

# The local test servers that the Windows and end-to-end tests start (once, not per sanitizer).
if(NOT HAULIX_TSAN)
  add_test(NAME TestServers.PassTheirOwnTests
    COMMAND /usr/bin/python3 -m unittest discover -s ${CMAKE_SOURCE_DIR}/tests/server -p test_*.py)
  set_tests_properties(TestServers.PassTheirOwnTests PROPERTIES
    ENVIRONMENT PYTHONDONTWRITEBYTECODE=1 TIMEOUT 120)
endif()

# Benchmarks: built with the native preset, run by hand (see README).
# The idle pass benchmark drives the real windows, so the Windows build has it.
file(GLOB HAULIX_BENCH_SOURCES CONFIGURE_DEPENDS bench/*_bench.cpp)
list(REMOVE_ITEM HAULIX_BENCH_SOURCES ${CMAKE_SOURCE_DIR}/bench/idle_pass_bench.cpp)
foreach(source ${HAULIX_BENCH_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE haulix_fakes)
endforeach()
