#include "e2e/haulix_process.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "windows/local_server.h"

namespace {

constexpr size_t kTextRoom = 1024;

std::string dosPathOf(const std::string& unixPath) {
  using Convert = wchar_t*(CDECL*)(const char*);
  auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (!convert) return unixPath;
  wchar_t* wide = convert(unixPath.c_str());
  if (!wide) return unixPath;
  char narrow[MAX_PATH * 4] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, wide);
  return narrow;
}

}  // namespace

HaulixProcess::~HaulixProcess() {
  if (info_.hProcess) {
    // A test that failed half-way leaves no program running.
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

bool HaulixProcess::start(const std::string& arguments) {
  std::string path = haulixPath();
  std::string command = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  return CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info_) != FALSE;
}

int HaulixProcess::waitForExit(DWORD milliseconds) {
  if (!info_.hProcess || WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0)
    return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<int>(code);
}

bool HaulixProcess::kill() {
  if (!info_.hProcess) return false;
  TerminateProcess(info_.hProcess, 9);
  return WaitForSingleObject(info_.hProcess, 30000) == WAIT_OBJECT_0;
}

namespace {

bool setHaulixValue(const char* name, DWORD type, const void* bytes, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Haulix", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const bool ok =
      RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(bytes), size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

}  // namespace

bool setHaulixNumber(const char* name, DWORD value) {
  return setHaulixValue(name, REG_DWORD, &value, sizeof value);
}

bool setHaulixText(const char* name, const std::string& text) {
  return setHaulixValue(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

std::string haulixDatabasePath() {
  char folder[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  return std::string(folder) + "\\Haulix\\haulix.db";
}

std::string haulixPath() {
  const char* path = getenv("HAULIX_EXE");
  if (!path || !*path) return {};
  return path[0] == '/' ? dosPathOf(path) : path;
}

HWND waitForDownloadWindow(DWORD milliseconds) {
  HWND window = nullptr;
  // The window exists before its children; it is usable once its list is there.
  waitUntil(
      [&] {
        window = FindWindowA("HaulixDownload", nullptr);
        return window && FindWindowExA(window, nullptr, "SysListView32", nullptr);
      },
      milliseconds);
  return window && FindWindowExA(window, nullptr, "SysListView32", nullptr) ? window : nullptr;
}

bool waitUntil(const std::function<bool()>& done, DWORD milliseconds) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > milliseconds) return false;
    Sleep(50);
  }
  return true;
}

LRESULT handOver(HWND window, const std::string& text) {
  COPYDATASTRUCT data = {0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
  return SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

RemoteList::RemoteList(HWND list) : list_(list) {
  DWORD id = 0;
  GetWindowThreadProcessId(list, &id);
  process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, id);
  if (process_)
    remote_ = static_cast<char*>(
        VirtualAllocEx(process_, nullptr, sizeof(LVITEMA) + kTextRoom, MEM_COMMIT, PAGE_READWRITE));
}

RemoteList::~RemoteList() {
  if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
  if (process_) CloseHandle(process_);
}

bool RemoteList::select(int row) const {
  if (!remote_) return false;
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  SIZE_T moved = 0;
  if (!WriteProcessMemory(process_, remote_, &item, sizeof item, &moved)) return false;
  return SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote_)) != FALSE;
}

bool RemoteList::selectOnly(int row) const {
  if (!remote_) return false;
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SIZE_T moved = 0;
  if (!WriteProcessMemory(process_, remote_, &item, sizeof item, &moved)) return false;
  SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(remote_));
  return select(row);
}

int RemoteList::findRow(int column, const std::string& text) const {
  for (int row = 0, count = rows(); row < count; ++row)
    if (cell(row, column) == text) return row;
  return -1;
}

POINT RemoteList::rowCentre(int row) const {
  POINT centre = {-1, -1};
  if (!remote_) return centre;
  RECT rect = {};
  rect.left = LVIR_LABEL;
  SIZE_T moved = 0;
  if (!WriteProcessMemory(process_, remote_, &rect, sizeof rect, &moved)) return centre;
  if (!SendMessageA(list_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote_))) return centre;
  if (!ReadProcessMemory(process_, remote_, &rect, sizeof rect, &moved)) return centre;
  centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(list_, &centre);
  return centre;
}

bool RemoteList::chooseFromRowMenu(int row, char letter) const {
  if (!selectOnly(row)) return false;
  POINT at = rowCentre(row);
  if (at.x < 0) return false;
  // The program asks where the cursor is to know which row the menu is for.
  SetCursorPos(at.x, at.y);
  POINT client = at;
  ScreenToClient(list_, &client);
  PostMessageA(list_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(client.x, client.y));
  PostMessageA(list_, WM_RBUTTONUP, 0, MAKELPARAM(client.x, client.y));
  HWND menu = nullptr;
  if (!waitUntil(
          [&] {
            menu = FindWindowA("#32768", nullptr);
            return menu && IsWindowVisible(menu);
          },
          10000)) {
    return false;
  }
  const SHORT key = VkKeyScanA(letter);
  PostMessageA(menu, WM_KEYDOWN, LOBYTE(key), 0);
  PostMessageA(menu, WM_CHAR, static_cast<unsigned char>(letter), 0);
  PostMessageA(menu, WM_KEYUP, LOBYTE(key), 0);
  return true;
}

int RemoteList::rows() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

std::string RemoteList::cell(int row, int column) const {
  if (!remote_ || row < 0) return {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = remote_ + sizeof(LVITEMA);
  item.cchTextMax = kTextRoom;
  SIZE_T moved = 0;
  if (!WriteProcessMemory(process_, remote_, &item, sizeof item, &moved)) return {};
  SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote_));
  std::vector<char> text(kTextRoom + 1, '\0');
  if (!ReadProcessMemory(process_, remote_ + sizeof(LVITEMA), text.data(), kTextRoom, &moved))
    return {};
  return text.data();
}

bool ScreenPicture::take(const std::string& path) {
  const std::string target = unixPathOf(path);
  const char* display = getenv("DISPLAY");
  if (target.empty() || target.find(' ') != std::string::npos || !display || !*display)
    return false;
  DeleteFileA(path.c_str());
  // Written under another name and moved into place, so that the file is whole once there:
  // a Unix program started from Wine leaves no process handle to wait on.
  std::string command = "\"" + dosPathOf("/bin/sh") + "\" -c \"import -display " +
                        std::string(display) + " -window root -depth 8 ppm:" + target + ".part && mv " +
                        target + ".part " + target + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  return waitUntil([&] { return load(path); }, 60000);
}

bool ScreenPicture::load(const std::string& path) {
  std::string bytes;
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES || !readWholeFile(path, bytes))
    return false;
  // "P6", width, height, the largest value, each after white space, then one white space
  // and the RGB bytes.
  size_t at = 0;
  auto number = [&](int& value) {
    while (at < bytes.size() &&
           (isspace(static_cast<unsigned char>(bytes[at])) || bytes[at] == '#')) {
      if (bytes[at] == '#') at = bytes.find('\n', at);
      if (at == std::string::npos) return false;
      ++at;
    }
    value = 0;
    const size_t first = at;
    while (at < bytes.size() && isdigit(static_cast<unsigned char>(bytes[at])))
      value = value * 10 + (bytes[at++] - '0');
    return at > first;
  };
  if (bytes.compare(0, 2, "P6") != 0) return false;
  at = 2;
  int width = 0, height = 0, largest = 0;
  if (!number(width) || !number(height) || !number(largest) || largest != 255) return false;
  ++at;
  const size_t size = static_cast<size_t>(width) * height * 3;
  if (width <= 0 || height <= 0 || bytes.size() - at < size) return false;
  width_ = width;
  height_ = height;
  rgb_ = bytes.substr(at, size);
  return true;
}

COLORREF ScreenPicture::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return RGB(0, 0, 0);
  const size_t i = (static_cast<size_t>(y) * width_ + x) * 3;
  return RGB(static_cast<unsigned char>(rgb_[i]), static_cast<unsigned char>(rgb_[i + 1]),
             static_cast<unsigned char>(rgb_[i + 2]));
}

bool pictureShowing(const std::string& path, DWORD since,
                    const std::function<bool(const ScreenPicture&)>& shows, ScreenPicture& picture,
                    DWORD settleMs, DWORD limitMs) {
  const DWORD waited = GetTickCount() - since;
  if (waited < settleMs) Sleep(settleMs - waited);
  const DWORD began = GetTickCount();
  for (;;) {
    if (picture.take(path) && shows(picture)) return true;
    if (GetTickCount() - began > limitMs) return false;
    Sleep(500);
  }
}

bool looksDrawn(const ScreenPicture& picture, HWND window) {
  RECT r = {};
  if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) return false;
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  size_t black = 0, faced = 0, all = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = picture.at(x, y);
      ++all;
      if (GetRValue(c) < 16 && GetGValue(c) < 16 && GetBValue(c) < 16) ++black;
      // Themed tab pages paint their body white rather than in the face colour.
      if (c == face || c == RGB(255, 255, 255)) ++faced;
    }
  }
  return black * 2 < all && faced * 5 > all;
}

bool showsColour(const ScreenPicture& picture, HWND window, COLORREF colour) {
  RECT r = {};
  if (!GetWindowRect(window, &r)) return false;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (picture.at(x, y) == colour) return true;
  return false;
}

bool centredOnOwner(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  RECT placed = {}, around = {};
  if (!owner || !GetWindowRect(window, &placed) || !GetWindowRect(owner, &around)) return false;
  return std::abs((placed.left + placed.right) - (around.left + around.right)) <= 4 &&
         std::abs((placed.top + placed.bottom) - (around.top + around.bottom)) <= 4;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  // Shared for deleting too: the program may replace the file while it is read.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.clear();
  std::vector<char> buffer(1 << 20);
  DWORD got = 0;
  while (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got)
    bytes.append(buffer.data(), got);
  CloseHandle(file);
  return true;
}

bool fileHasGeneratedBytes(const std::string& path, uint32_t seed, uint64_t size) {
  HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length = {};
  bool same = GetFileSizeEx(file, &length) && static_cast<uint64_t>(length.QuadPart) == size;
  std::vector<char> buffer(8 << 20);
  for (uint64_t offset = 0; same && offset < size;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) || !got) {
      same = false;
      break;
    }
    same = generatedBytes(seed, offset, got) == std::string(buffer.data(), got);
    offset += got;
  }
  CloseHandle(file);
  return same;
}

// The middle of the banner's "Open" link: right of the title "haulix 3 download" in Arial
// of 28 pixels, 16 pixels on, in a row as high as the menu font's text plus 3 (23 at most).
POINT openLinkCentre() {
  HDC dc = GetDC(nullptr);
  LOGFONTA title = {};
  title.lfHeight = -28;
  title.lfWeight = FW_NORMAL;
  title.lfQuality = ANTIALIASED_QUALITY;
  title.lfPitchAndFamily = VARIABLE_PITCH;
  lstrcpynA(title.lfFaceName, "Arial", LF_FACESIZE);
  HFONT titleFont = CreateFontIndirectA(&title);
  HGDIOBJ old = SelectObject(dc, titleFont);
  SIZE titleSize = {};
  GetTextExtentPoint32A(dc, "haulix 3 download", 17, &titleSize);
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT menuFont = CreateFontIndirectA(&metrics.lfMenuFont);
  SelectObject(dc, menuFont);
  SIZE open = {};
  GetTextExtentPoint32A(dc, "Open   ", 7, &open);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(titleFont);
  DeleteObject(menuFont);
  const int height = std::min<int>(open.cy + 3, 23);
  return {titleSize.cx + 16 + 4 + open.cx / 4, height / 2};
}

HWND waitForShownDialog(const char* title, DWORD milliseconds) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        found = nullptr;
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", title); w && !found;
             w = FindWindowExA(nullptr, w, "#32770", title))
          if (IsWindowVisible(w)) found = w;
        return found != nullptr;
      },
      milliseconds);
  return found;
}

HWND chooseFromOpenMenu(HWND window, char letter, const char* title, DWORD milliseconds,
                        const std::function<void()>& whenShown) {
  const DWORD start = GetTickCount();
  const auto left = [&] {
    const DWORD spent = GetTickCount() - start;
    return spent >= milliseconds ? 0 : milliseconds - spent;
  };
  bool seen = false;
  while (left() > 0) {
    const POINT open = openLinkCentre();
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(open.x, open.y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(open.x, open.y));
    HWND menu = waitForMenu(left());
    if (!menu) return nullptr;
    if (!seen && whenShown) whenShown();
    seen = true;
    // A letter posted before the menu's own loop reads its queue is lost: posted again
    // every 2 s while the menu shows without the dialog.
    for (;;) {
      if (IsWindow(menu) && IsWindowVisible(menu))
        PostMessageA(menu, WM_CHAR, static_cast<unsigned char>(letter), 0);
      if (HWND dialog = waitForShownDialog(title, std::min<DWORD>(2000, left()))) return dialog;
      if (left() == 0) return nullptr;
      if (IsWindow(menu) && IsWindowVisible(menu)) continue;
      // The menu is gone without the dialog. Once the program has answered a message it is
      // either in the dialog's loop, its window disabled, or back in its own loop with the
      // menu dismissed: under Wine, focus events read late (a dialog closed just before)
      // cancel a menu, and a user would click again.
      DWORD_PTR answer = 0;
      SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, left(), &answer);
      if (HWND dialog = waitForShownDialog(title, 0)) return dialog;
      if (IsWindowEnabled(window) && !waitForMenu(0)) {
        std::printf("the menu closed without its command; opened again\n");
        break;
      }
    }
  }
  return nullptr;
}

SIZE menuTextSize(const char* text) {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  HFONT font = CreateFontIndirectA(&metrics.lfMenuFont);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return size;
}

// The Site Window lays its buttons out all as wide as the widest label in the menu font plus
// 10 (56 at least), in one row at y = 27.
POINT siteButtonCentre(int control) {
  int widest = 0;
  for (const char* label : {"Back", "Forward", "Stop", "Refresh", "Expand", "Get"})
    widest = std::max<int>(widest, menuTextSize(label).cx);
  const SIZE open = menuTextSize("Open   ");
  const int bw = std::max(56, widest + 10), bh = open.cy + 31;
  const int index = control - 4;
  const int x = 4 + index * bw + (index >= 4 ? 9 : 0) + (index >= 5 ? 9 : 0);
  return {x + bw / 2, 27 + bh / 2};
}

void clickAt(HWND window, POINT at) {
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

HWND waitForMenu(DWORD milliseconds) {
  HWND found = nullptr;
  waitUntil(
      [&] {
        found = nullptr;
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32768", nullptr); w;
             w = FindWindowExA(nullptr, w, "#32768", nullptr))
          if (IsWindowVisible(w)) found = w;
        return found != nullptr;
      },
      milliseconds);
  return found;
}

