#pragma once
// A transfer engine over fakes of every port it uses, for the engine's tests.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transfer/file_ops.h"
#include "transfer/transfer_engine.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_text_rules.h"
#include "url/byte_text.h"

inline const std::string kFolder = "C:\\dl";

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() { makeEngine(); }
  ~EngineTest() override {
    engine.reset();
    internet.abortAll();
  }

  void makeEngine() {
    engine = std::make_unique<TransferEngine>(internet, fileOps, ids, clock, [this] {
      std::lock_guard<std::mutex> hold(wakeMutex);
      ++wakes;
      wakeChanged.notify_all();
    });
  }

  static UrlParts address(const std::string& scheme, const std::string& host,
                          const std::string& port = "", const std::string& path = "/f/a.zip") {
    UrlParts parts;
    parts.scheme = scheme;
    parts.host = host;
    parts.port = port;
    const size_t slash = path.rfind('/');
    parts.folder = path.substr(0, slash + 1);
    const std::string name = path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    parts.baseName = dot == std::string::npos ? name : name.substr(0, dot);
    parts.extension = dot == std::string::npos ? "" : name.substr(dot);
    parts.fullAddress = scheme + host + port + path;
    return parts;
  }
  static UrlParts web(const std::string& host = "h") { return address("http://", host); }

  // A server on host:80 that serves the body with ranges; `change` may alter each reply.
  void serve(std::shared_ptr<const FakeBody> body, const std::string& host = "h",
             std::function<void(const FakeRequest&, FakeReply&)> change = {}) {
    internet.setServer(host, 80, [body, change](const FakeRequest& request) {
      FakeReply reply = FakeInternet::fileReply(request, body);
      if (change) change(request, reply);
      return reply;
    });
  }

  // Runs the condition until it holds, waiting for a worker to finish between tries; false
  // when no worker finishes within the safety timeout and the condition still fails.
  bool waitFor(const std::function<bool()>& holds) {
    for (;;) {
      uint64_t seen;
      {
        std::lock_guard<std::mutex> hold(wakeMutex);
        seen = wakes;
      }
      if (holds()) return true;
      std::unique_lock<std::mutex> lock(wakeMutex);
      if (!wakeChanged.wait_for(lock, std::chrono::seconds(20), [&] { return wakes != seen; })) {
        lock.unlock();
        return holds();
      }
    }
  }

  // Job passes, until the job has a result.
  bool passUntilResult(TransferJob& job) {
    return waitFor([&] {
      engine->runJobPass();
      return job.result != kJobNoResult;
    });
  }

  // Reads workers' fields under the lock.
  template <class Read>
  auto locked(Read read) {
    std::lock_guard hold(engine->lock());
    return read();
  }
  WorkerState stateOf(const TransferJob& job, size_t index) {
    return locked([&] { return job.workers.at(index)->state; });
  }
  bool allFinal(const TransferJob& job) {
    return locked([&] {
      for (const auto& worker : job.workers) {
        if (isActiveState(worker->state)) return false;
      }
      return true;
    });
  }
  int64_t writtenOf(const TransferJob& job, size_t index) {
    return locked([&] { return job.workers.at(index)->piece.written; });
  }
  std::string pathOf(const TransferJob& job, size_t index) {
    return locked([&] { return job.workers.at(index)->piece.path; });
  }
  // The piece files in the folder.
  std::vector<std::string> pieceFiles() {
    std::vector<std::string> found;
    for (const std::string& path : files.allPaths()) {
      if (path.find("\\haulix ") != std::string::npos) found.push_back(path);
    }
    return found;
  }

  FakeInternet internet;
  FakeFiles files;
  FakeIds ids;
  FakeClock clock;
  FakeTextRules rules;
  ByteText text{rules};
  FileOps fileOps{files, ids, text};

  std::mutex wakeMutex;
  std::condition_variable wakeChanged;
  uint64_t wakes = 0;

  std::unique_ptr<TransferEngine> engine;
};
