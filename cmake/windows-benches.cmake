# Benchmarks that drive the real haulix.exe under Wine from outside.

# The batch benchmark's driver: the real haulix.exe handed 500 addresses, timed until every
# row is Done (bench/batch-bench.sh runs it against nginx and aria2c).
add_executable(haulix_batch_driver bench/batch_driver.cpp tests/e2e/haulix_process.cpp
  tests/windows/local_server.cpp ${HAULIX_MANIFEST_RC})
target_include_directories(haulix_batch_driver PRIVATE tests)
target_link_libraries(haulix_batch_driver PRIVATE ws2_32 comctl32 shell32 gdi32 user32 advapi32)

# The answer benchmark's prober: the real haulix.exe's Site Window sent a message every 20 ms
# while it crawls a large site (bench/answer-bench.sh runs it against nginx).
add_executable(haulix_answer_prober bench/answer_prober.cpp tests/e2e/haulix_process.cpp
  tests/windows/local_server.cpp ${HAULIX_MANIFEST_RC})
target_include_directories(haulix_answer_prober PRIVATE tests)
target_link_libraries(haulix_answer_prober PRIVATE ws2_32 comctl32 shell32 gdi32 user32 advapi32
  psapi)
