# Windows build: the Win32 implementations of the ports, haulix.exe and the Windows tests,
# which run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.

set(HAULIX_WIN32_LIBS wininet shell32 ole32 oleaut32 uuid comctl32 comdlg32 gdi32 user32 advapi32 shlwapi)

file(GLOB HAULIX_WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_library(haulix_win32 STATIC ${HAULIX_WIN32_SOURCES})
target_include_directories(haulix_win32 PUBLIC src)
target_link_libraries(haulix_win32 PUBLIC haulix_model ${HAULIX_WIN32_LIBS})

# The manifest (UTF-8 code page, common controls v6, per-monitor DPI awareness) as a resource.
set(HAULIX_MANIFEST_RC ${CMAKE_SOURCE_DIR}/resources/manifest.rc)
set_property(SOURCE ${HAULIX_MANIFEST_RC} APPEND PROPERTY INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/resources)

file(GLOB HAULIX_WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS tests/windows/*.cpp)
add_executable(haulix_windows_tests ${HAULIX_WINDOWS_TEST_SOURCES} ${HAULIX_MANIFEST_RC})
# ws2_32: the local test servers are started, watched and stopped over plain sockets.
target_link_libraries(haulix_windows_tests PRIVATE haulix_win32 haulix_fakes gmock gtest_main ws2_32)
target_compile_definitions(haulix_windows_tests PRIVATE HAULIX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(haulix_windows_tests DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
  PROPERTIES LABELS windows)
