// The Download Window's cost per idle pass and per full paint with 10,000 rows: half of
// them Done, twenty transferring (stalled part-way, so their bars stay), the rest waiting.
// Runs under Wine on a display: bench/idle-bench.sh.
#include <windows.h>
// After windows.h, which the other system headers need first.
#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/app.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_connection.h"
#include "fakes/fake_files.h"
#include "fakes/fake_ids.h"
#include "fakes/fake_internet.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_shell.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_text_rules.h"

namespace {

constexpr int kRows = 10000;
constexpr int kTransferring = 20;

using Timer = std::chrono::steady_clock;

double millisecondsSince(Timer::time_point start) {
  return std::chrono::duration<double, std::milli>(Timer::now() - start).count();
}

void pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int transferringWithBytes(App& app) {
  int n = 0;
  for (DownloadItem* item = app.queue().first(); item; item = item->next)
    if (item->job && item->job->bytesGot > 0 && !item->job->pieceMap.empty()) ++n;
  return n;
}

}  // namespace

int main() {
  FakeFiles files;
  FakeIds ids;
  Win32Clock clock;
  Win32TextRules rules;
  FakeShell shell;
  FakeRegistry registry;
  FakeConnection connection;
  shell.csidlFolders = {{CSIDL_PERSONAL, "C:\\Users\\me\\Documents"},
                        {CSIDL_APPDATA, "C:\\Users\\me\\Application Data"}};
  files.putFolder("C:\\Users\\me\\Documents");
  files.putFolder("C:\\Users\\me\\Application Data");
  files.putFolder("C:\\saved");
  const std::string key = "Software\\Haulix";
  registry.putNumber(RegistryRoot::kCurrentUser, key, "setup", 300);
  registry.putNumber(RegistryRoot::kCurrentUser, key, "get", kTransferring);
  registry.putText(RegistryRoot::kCurrentUser, key, "folder", "C:\\saved");

  auto internet = std::make_unique<FakeInternet>();
  FakeInternet& net = *internet;
  auto body = FakeBody::pattern(8 << 20);
  net.setServer("h", 80, [body](const FakeRequest& request) {
    FakeReply reply = FakeInternet::fileReply(request, body);
    reply.stallAt = 1 << 20;  // each transfer stops a part of the way in, and stays
    return reply;
  });
  Platform platform{files, ids,      clock,      rules,
                    shell, registry, connection, [&internet] { return std::move(internet); }};
  App app(GetModuleHandleA(nullptr), std::move(platform));
  app.prepare();
  if (!app.openWindows(ProcessRole::kDownload, SW_SHOWNORMAL)) return 1;
  SetWindowPos(app.windows().main, nullptr, 0, 0, 1000, 720, SWP_NOZORDER | SWP_NOMOVE);

  // The rows: every other item Done with a saved size; the scheduler starts twenty of the
  // others.
  std::string text;
  for (int i = 0; i < kRows; ++i) text += "http://h/files/file" + std::to_string(i) + ".zip\r\n";
  app.queue().addAddresses(text);
  int i = 0;
  for (DownloadItem* item = app.queue().first(); item; item = item->next, ++i) {
    if (i % 2 != 0) continue;
    item->state = DownloadState::Done;
    item->size = 1000 + i;
    item->savedPath = "C:\\saved\\file" + std::to_string(i) + ".zip";
  }
  auto start = Timer::now();
  app.idlePass();
  std::printf("first pass with %d new rows: %.1f ms\n", kRows, millisecondsSince(start));
  for (int pass = 0; pass < 2000 && transferringWithBytes(app) < kTransferring; ++pass) {
    Sleep(5);
    pump();
    app.idlePass();
  }
  std::printf("transferring with bytes: %d\n", transferringWithBytes(app));

  constexpr int kPasses = 200;
  start = Timer::now();
  for (int pass = 0; pass < kPasses; ++pass) app.idlePass();
  const double pass = millisecondsSince(start) / kPasses;

  // Where a pass goes.
  start = Timer::now();
  for (int n = 0; n < kPasses; ++n) app.scheduler().runScheduler();
  std::printf("  of which the scheduler step: %.2f ms\n", millisecondsSince(start) / kPasses);
  start = Timer::now();
  for (int n = 0; n < kPasses; ++n) app.surface().refresh();
  std::printf("  of which the refresh of the drawn controls: %.2f ms\n",
              millisecondsSince(start) / kPasses);
  start = Timer::now();
  for (int n = 0; n < kPasses; ++n)
    for (DownloadItem* item = app.queue().first(); item; item = item->next)
      if (item->job) app.downloadRows().findRow(item);
  std::printf("  of which finding the %d rows: %.2f ms\n", kTransferring,
              millisecondsSince(start) / kPasses);

  constexpr int kPaints = 20;
  HWND main = app.windows().main;
  start = Timer::now();
  for (int paint = 0; paint < kPaints; ++paint)
    RedrawWindow(main, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const double paint = millisecondsSince(start) / kPaints;

  std::printf("idle pass: %.2f ms (goal: under 5 ms)\n", pass);
  std::printf("full paint of the window and its list: %.2f ms\n", paint);
  net.abortAll();
  return pass < 5.0 ? 0 : 2;
}
