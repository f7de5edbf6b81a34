#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Thrown only inside the script thread to end the script when a dialog does not come.
struct ScriptAbandoned {};

struct Search {
  const std::string* title;
  HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM l) {
  auto* search = reinterpret_cast<Search*>(l);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (DialogDriver::title(window) != *search->title) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK collectDialogs(HWND window, LPARAM l) {
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HWND>*>(l)->push_back(window);
  }
  return TRUE;
}

std::vector<HWND> dialogsOf(DWORD thread) {
  std::vector<HWND> open;
  EnumThreadWindows(thread, collectDialogs, reinterpret_cast<LPARAM>(&open));
  return open;
}

VOID CALLBACK markAnswered(HWND, UINT, ULONG_PTR answered, LRESULT) {
  *reinterpret_cast<bool*>(answered) = true;
}

// --- A small PNG writer: 8-bit RGB rows, stored (uncompressed) deflate blocks. ---

uint32_t crc32(const unsigned char* bytes, size_t count, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void putBig(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void putChunk(std::string& out, const char* type, const std::string& data) {
  putBig(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  putBig(out, crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

std::string pngOf(int width, int height, const std::vector<unsigned char>& bgra) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
      raw += static_cast<char>(p[2]);
      raw += static_cast<char>(p[1]);
      raw += static_cast<char>(p[0]);
    }
  }
  std::string zlib = "\x78\x01";
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    bool last = at + n >= raw.size();
    zlib += static_cast<char>(last ? 1 : 0);
    zlib += static_cast<char>(n & 0xFF);
    zlib += static_cast<char>(n >> 8);
    zlib += static_cast<char>(~n & 0xFF);
    zlib += static_cast<char>((~n >> 8) & 0xFF);
    zlib.append(raw, at, n);
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  putBig(zlib, (b << 16) | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string header;
  putBig(header, static_cast<uint32_t>(width));
  putBig(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  putChunk(png, "IHDR", header);
  putChunk(png, "IDAT", zlib);
  putChunk(png, "IEND", "");
  return png;
}

}  // namespace

DialogDriver::DialogDriver(std::function<void(DialogDriver&)> script)
    : uiThread_(GetCurrentThreadId()) {
  thread_ = std::thread([this, script = std::move(script)] {
    try {
      script(*this);
    } catch (const ScriptAbandoned&) {
    }
  });
}

DialogDriver::~DialogDriver() {
  finish();
}

void DialogDriver::finish() {
  if (thread_.joinable()) thread_.join();
  EXPECT_FALSE(timedOut_) << "a dialog the script waited for did not come";
}

HWND DialogDriver::dialogOf(DWORD thread, const std::string& title) {
  Search search{&title, nullptr};
  EnumThreadWindows(thread, findDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND DialogDriver::waitFor(const std::string& title, int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    if (HWND found = dialogOf(uiThread_, title)) return found;
    Sleep(20);
  }
  ADD_FAILURE() << "no dialog \"" << title << "\" came";
  giveUp();
}

bool DialogDriver::waitGone(HWND dialog, int milliseconds) {
  return waitUntil([dialog] { return !IsWindow(dialog) || !IsWindowVisible(dialog); },
                   milliseconds);
}

bool DialogDriver::waitUntil(const std::function<bool()>& holds, int milliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!holds()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    Sleep(20);
  }
  return true;
}

void DialogDriver::giveUp() {
  timedOut_ = true;
  cancelAll();
  throw ScriptAbandoned{};
}

void DialogDriver::cancelAll() {
  for (int round = 0; round < 20; ++round) {
    std::vector<HWND> open = dialogsOf(uiThread_);
    if (open.empty()) return;
    for (HWND dialog : open) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    Sleep(100);
  }
}

void DialogDriver::sendAndWait(HWND window, UINT message, WPARAM w, LPARAM l) {
  const std::vector<HWND> before = dialogsOf(uiThread_);
  bool& answered = answers_.emplace_back(false);
  if (!SendMessageCallbackA(window, message, w, l, markAnswered,
                            reinterpret_cast<ULONG_PTR>(&answered))) {
    return;
  }
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (std::chrono::steady_clock::now() < end) {
    // The answer arrives as a message of this thread.
    MSG received;
    while (PeekMessageA(&received, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&received);
    if (answered) return;
    for (HWND dialog : dialogsOf(uiThread_)) {
      if (std::find(before.begin(), before.end(), dialog) == before.end()) return;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  ADD_FAILURE() << "message " << message << " was neither answered nor opened a dialog";
}

std::string DialogDriver::text(HWND dialog, int id) {
  char buffer[4096] = {};
  SendDlgItemMessageA(dialog, id, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

std::string DialogDriver::title(HWND window) {
  char buffer[512] = {};
  SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return buffer;
}

bool DialogDriver::enabled(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item && IsWindowEnabled(item);
}

bool DialogDriver::checked(HWND dialog, int id) {
  return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DialogDriver::click(HWND dialog, int id) {
  sendAndWait(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void DialogDriver::pressKey(HWND window, WPARAM virtualKey) {
  sendAndWait(window, WM_KEYDOWN, virtualKey, 0);
}

void DialogDriver::type(HWND dialog, int id, const std::string& text) {
  SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void DialogDriver::focus(HWND dialog, int id) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

bool saveScreenshot(HWND window, const std::string& name) {
  RECT frame = {};
  if (!GetWindowRect(window, &frame)) return false;
  int width = frame.right - frame.left, height = frame.bottom - frame.top;
  if (width <= 0 || height <= 0) return false;
  // Bring it forward and let it paint, then take what the screen shows of it.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(150);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != FALSE;
    SelectObject(memory, old);
    GdiFlush();
    if (ok) {
      std::vector<unsigned char> pixels(
          static_cast<unsigned char*>(bits),
          static_cast<unsigned char*>(bits) + static_cast<size_t>(width) * height * 4);
      std::string png = pngOf(width, height, pixels);
      CreateDirectoryA("screenshots", nullptr);
      HANDLE file = CreateFileA(("screenshots\\" + name + ".png").c_str(), GENERIC_WRITE, 0,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      DWORD written = 0;
      ok = file != INVALID_HANDLE_VALUE &&
           WriteFile(file, png.data(), static_cast<DWORD>(png.size()), &written, nullptr) &&
           written == png.size();
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool readClipboardText(std::string& text) {
  if (!OpenClipboard(nullptr)) return false;
  bool ok = false;
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data) {
    const char* bytes = static_cast<const char*>(GlobalLock(data));
    if (bytes) {
      text = bytes;
      GlobalUnlock(data);
      ok = true;
    }
  }
  CloseClipboard();
  return ok;
}
