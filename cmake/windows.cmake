# Windows build: the Win32 implementations of the ports, haulix.exe and the Windows tests,
# which run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.

set(HAULIX_WIN32_LIBS wininet shell32 ole32 oleaut32 uuid comctl32 comdlg32 gdi32 user32 advapi32 shlwapi)

file(GLOB HAULIX_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_library(haulix_win32 STATIC ${HAULIX_WIN32_SOURCES})
target_include_directories(haulix_win32 PUBLIC src)
target_link_libraries(haulix_win32 PUBLIC haulix_model ${HAULIX_WIN32_LIBS})

# The local test servers' scripts are found from the source tree. Only that one file is told
# where the tree is: a path in every test's flags would keep the compiler cache from being
# shared between checkouts.
set_source_files_properties(tests/windows/local_server.cpp PROPERTIES
  COMPILE_DEFINITIONS HAULIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# The manifest (UTF-8 code page, common controls v6, per-monitor DPI awareness) as a resource.
set(HAULIX_MANIFEST_RC ${CMAKE_SOURCE_DIR}/resources/manifest.rc)
set_property(SOURCE ${HAULIX_MANIFEST_RC} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/resources)

# The program's other resources (menus, dialogs, icons), one .rc file per family. The tests
# carry them too, so windows and dialogs can be made from them in a test exe.
file(GLOB HAULIX_RESOURCE_SCRIPTS CONFIGURE_DEPENDS resources/*.rc)
list(REMOVE_ITEM HAULIX_RESOURCE_SCRIPTS ${HAULIX_MANIFEST_RC})
foreach(rc ${HAULIX_RESOURCE_SCRIPTS})
  set_property(SOURCE ${rc} APPEND PROPERTY INCLUDE_DIRECTORIES
    ${CMAKE_SOURCE_DIR}/resources ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/resources)
endforeach()

# The Win32 shell and the dialogs: everything of haulix.exe but its entry point.
file(GLOB HAULIX_APP_SOURCES CONFIGURE_DEPENDS src/app/*.cpp src/dialogs/*.cpp)
list(REMOVE_ITEM HAULIX_APP_SOURCES ${CMAKE_SOURCE_DIR}/src/app/main.cpp)
add_library(haulix_app STATIC ${HAULIX_APP_SOURCES})
target_link_libraries(haulix_app PUBLIC haulix_win32)

if(EXISTS ${CMAKE_SOURCE_DIR}/src/app/main.cpp)
  add_executable(haulix WIN32 src/app/main.cpp ${HAULIX_MANIFEST_RC} ${HAULIX_RESOURCE_SCRIPTS})
  target_link_libraries(haulix PRIVATE haulix_app)
endif()

file(GLOB HAULIX_WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS tests/windows/*.cpp)
add_executable(haulix_windows_tests ${HAULIX_WINDOWS_TEST_SOURCES} ${HAULIX_MANIFEST_RC}
  ${HAULIX_RESOURCE_SCRIPTS})
# ws2_32: the local test servers are started, watched and stopped over plain sockets;
# crypt32: the HTTPS tests trust their test authority for a while.
target_link_libraries(haulix_windows_tests PRIVATE haulix_app haulix_fakes gmock gtest_main ws2_32
  crypt32)
# Each test has five minutes: a test's own waits are generous for a busy machine, but a
# test that hangs must not hold up the suite.
gtest_discover_tests(haulix_windows_tests DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
  PROPERTIES LABELS windows TIMEOUT 300)

# The fetch benchmark's driver: one download through the transfer engine on the real ports
# (bench/fetch-bench.sh runs it against nginx, curl and aria2c).
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/haulix_fetch.cpp)
  add_executable(haulix_fetch bench/haulix_fetch.cpp)
  target_link_libraries(haulix_fetch PRIVATE haulix_win32)
endif()

# The icons, drawn by a script at build time into resources/shell_icons of the build folder,
# where the resource scripts find them.
find_package(Python3 COMPONENTS Interpreter REQUIRED)
set(HAULIX_ICON_STAMP ${CMAKE_BINARY_DIR}/resources/shell_icons/icons.stamp)
add_custom_command(OUTPUT ${HAULIX_ICON_STAMP}
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make_icons.py
          ${CMAKE_BINARY_DIR}/resources/shell_icons
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make_icons.py
  COMMENT "Drawing the icons")
foreach(rc ${HAULIX_RESOURCE_SCRIPTS})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${HAULIX_ICON_STAMP})
endforeach()

# End to end: the real haulix.exe driven from another process, in a fresh Wine prefix of its
# own (scripts/e2e-tests.sh), one at a time so that no other test shares its display.
add_executable(haulix_e2e_tests tests/e2e/end_to_end_test.cpp tests/e2e/crash_test.cpp
  tests/e2e/fault_matrix_test.cpp tests/e2e/trust_and_names_test.cpp
  tests/e2e/haulix_process.cpp tests/windows/local_server.cpp tests/windows/trusted_authority.cpp
  ${HAULIX_MANIFEST_RC})
target_include_directories(haulix_e2e_tests PRIVATE tests)
target_link_libraries(haulix_e2e_tests PRIVATE gtest_main ws2_32 comctl32 shell32 gdi32 user32
  advapi32 crypt32)
add_dependencies(haulix_e2e_tests haulix)
add_test(NAME EndToEnd.HaulixUnderWine
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/e2e-tests.sh ${CMAKE_BINARY_DIR} -KillTest.*:FaultMatrix.*:TrustAndNames.*)
set_tests_properties(EndToEnd.HaulixUnderWine PROPERTIES LABELS e2e RUN_SERIAL TRUE TIMEOUT 1500)
# Kills at random moments and during saves, in a prefix of their own.
add_test(NAME EndToEnd.KillsUnderWine
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/e2e-tests.sh ${CMAKE_BINARY_DIR} KillTest.* kills)
set_tests_properties(EndToEnd.KillsUnderWine PROPERTIES LABELS e2e RUN_SERIAL TRUE TIMEOUT 600)
# Outages, a server that closes before the body and a file changed between two sessions.
add_test(NAME EndToEnd.FaultsUnderWine
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/e2e-tests.sh ${CMAKE_BINARY_DIR} FaultMatrix.* faults)
set_tests_properties(EndToEnd.FaultsUnderWine PROPERTIES LABELS e2e RUN_SERIAL TRUE TIMEOUT 600)
# HTTPS servers with certificates made for the run, and the names files are saved under, in a
# prefix of their own: the test authority is trusted there while they run.
add_test(NAME EndToEnd.TrustAndNamesUnderWine
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/e2e-tests.sh ${CMAKE_BINARY_DIR} TrustAndNames.* trust)
set_tests_properties(EndToEnd.TrustAndNamesUnderWine PROPERTIES LABELS e2e RUN_SERIAL TRUE
  TIMEOUT 500)

# Setup and removal end to end, in a fresh Wine prefix of their own
# (scripts/setup-e2e-tests.sh): removal deletes the settings and closes every window.
add_executable(haulix_setup_e2e_tests tests/e2e/setup_removal_test.cpp
  tests/e2e/haulix_process.cpp tests/windows/local_server.cpp ${HAULIX_MANIFEST_RC})
target_include_directories(haulix_setup_e2e_tests PRIVATE tests src)
target_link_libraries(haulix_setup_e2e_tests PRIVATE gtest_main ws2_32 comctl32 shell32 gdi32
  user32 advapi32)
add_dependencies(haulix_setup_e2e_tests haulix)
add_test(NAME EndToEnd.SetupAndRemovalUnderWine
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/setup-e2e-tests.sh ${CMAKE_BINARY_DIR})
set_tests_properties(EndToEnd.SetupAndRemovalUnderWine PROPERTIES LABELS e2e RUN_SERIAL TRUE
  TIMEOUT 1200)

# The crawl benchmark's driver: a Site Window's crawl on the real ports (bench/crawl-bench.sh
# runs it against nginx and wget).
add_executable(haulix_crawl bench/haulix_crawl.cpp)
target_link_libraries(haulix_crawl PRIVATE haulix_win32 haulix_fakes psapi)

# The idle pass and paint benchmark (bench/idle-bench.sh runs it under Wine).
add_executable(haulix_idle_bench bench/idle_pass_bench.cpp ${HAULIX_MANIFEST_RC}
  ${HAULIX_RESOURCE_SCRIPTS})
target_link_libraries(haulix_idle_bench PRIVATE haulix_app haulix_fakes)

# The package a Windows user downloads (`make dist`, the dist preset): the release build of
# haulix.exe, stripped, with what it is and how it installs and goes (README.txt), its
# licence notice (LICENCE.txt) and the run-time libraries' (MINGW-W64.txt), as
# dist/haulix-VERSION-win64.zip. VERSION is the one the About box shows.
add_executable(haulix_package_tests tests/e2e/package_test.cpp tests/e2e/haulix_process.cpp
  tests/windows/local_server.cpp ${HAULIX_MANIFEST_RC})
target_include_directories(haulix_package_tests PRIVATE tests src)
target_link_libraries(haulix_package_tests PRIVATE gtest_main ws2_32 comctl32 shell32 gdi32
  user32 advapi32)

option(HAULIX_DIST "Make the package (dist/haulix-VERSION-win64.zip) and test it" OFF)
if(HAULIX_DIST)
  file(READ ${CMAKE_SOURCE_DIR}/src/platform/product.h HAULIX_PRODUCT)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/platform/product.h)
  # A product text: its string literals, joined.
  function(haulix_product_text name variable)
    string(REGEX MATCH "${name} =([^;]*);" found "${HAULIX_PRODUCT}")
    string(REGEX MATCHALL "\"[^\"]*\"" pieces "${CMAKE_MATCH_1}")
    string(JOIN "" text ${pieces})
    string(REPLACE "\"" "" text "${text}")
    if(text STREQUAL "")
      message(FATAL_ERROR "src/platform/product.h has no ${name}")
    endif()
    set(${variable} "${text}" PARENT_SCOPE)
  endfunction()
  haulix_product_text(kVersionText HAULIX_VERSION)
  haulix_product_text(kLicenceNotice HAULIX_LICENCE_NOTICE)
  haulix_product_text(kLicenceAddress HAULIX_LICENCE_ADDRESS)
  haulix_product_text(kHelpSite HAULIX_HELP_SITE)

  target_link_options(haulix PRIVATE -s)
  set(HAULIX_PACKAGE ${CMAKE_BINARY_DIR}/package)
  # README.txt's title is underlined to its length.
  string(LENGTH "Haulix ${HAULIX_VERSION} for 64-bit Windows" title_length)
  string(REPEAT "=" ${title_length} HAULIX_TITLE_RULE)
  foreach(text README LICENCE)
    configure_file(${CMAKE_SOURCE_DIR}/resources/package/${text}.txt.in
      ${HAULIX_PACKAGE}/${text}.txt @ONLY NEWLINE_STYLE CRLF)
  endforeach()
  set(HAULIX_RUNTIME_NOTICES /usr/share/doc/mingw-w64-common/copyright)
  if(NOT EXISTS ${HAULIX_RUNTIME_NOTICES})
    message(FATAL_ERROR "${HAULIX_RUNTIME_NOTICES} is missing: the package must carry the "
      "MinGW-w64 run-time's notices (Debian's mingw-w64-common, which scripts/setup.sh brings)")
  endif()
  file(READ ${HAULIX_RUNTIME_NOTICES} notices)
  string(REPLACE "\n" "\r\n" notices "${notices}")
  file(WRITE ${HAULIX_PACKAGE}/MINGW-W64.txt "${notices}")

  set(HAULIX_ZIP ${CMAKE_SOURCE_DIR}/dist/haulix-${HAULIX_VERSION}-win64.zip)
  add_custom_command(OUTPUT ${HAULIX_ZIP}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_SOURCE_DIR}/dist
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:haulix> ${HAULIX_PACKAGE}/haulix.exe
    COMMAND ${CMAKE_COMMAND} -E rm -f ${HAULIX_ZIP}
    COMMAND ${CMAKE_COMMAND} -E chdir ${HAULIX_PACKAGE} ${CMAKE_COMMAND} -E tar cf ${HAULIX_ZIP}
            --format=zip haulix.exe README.txt LICENCE.txt MINGW-W64.txt
    DEPENDS haulix ${HAULIX_PACKAGE}/README.txt ${HAULIX_PACKAGE}/LICENCE.txt
            ${HAULIX_PACKAGE}/MINGW-W64.txt
    COMMENT "Packing ${HAULIX_ZIP}")
  add_custom_target(dist DEPENDS ${HAULIX_ZIP})

  add_test(NAME Package.InstallsFromItsZipUnderWine
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/package-tests.sh ${CMAKE_BINARY_DIR} ${HAULIX_ZIP}
            ${HAULIX_VERSION})
  set_tests_properties(Package.InstallsFromItsZipUnderWine PROPERTIES LABELS e2e RUN_SERIAL TRUE
    TIMEOUT 900)
endif()
