#include "windows/local_server.h"

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef HAULIX_SOURCE_DIR
#error "HAULIX_SOURCE_DIR names the source tree whose tests/server the tests start"
#endif

namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kStopLimitMs = 5000;

std::atomic<int> counter{0};

bool startWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::string narrow(const wchar_t* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string text(n - 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
  return text;
}

std::wstring widen(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring wide(n - 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
  return wide;
}

// Wine's own conversions between its drive letters and Unix paths (kernel32 exports).
std::string dosPathOf(const std::string& unixPath) {
  using Convert = wchar_t*(CDECL*)(const char*);
  auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (convert == nullptr) return {};
  wchar_t* wide = convert(unixPath.c_str());
  if (wide == nullptr) return {};
  std::string path = narrow(wide);
  HeapFree(GetProcessHeap(), 0, wide);
  return path;
}

std::string quoted(const std::string& argument) {
  return "\"" + argument + "\"";
}

bool readFile(const std::string& path, std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  content.clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    content.append(buffer, got);
  CloseHandle(file);
  return true;
}

SOCKET connectLocal(uint16_t port) {
  if (!startWinsock()) return INVALID_SOCKET;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

bool sameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

}  // namespace

std::string windowsPathOf(const std::string& unixPath) {
  return dosPathOf(unixPath);
}

std::string unixPathOf(const std::string& windowsPath) {
  using Convert = char*(CDECL*)(const wchar_t*);
  auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unix = convert(widen(windowsPath).c_str());
  if (unix == nullptr) return {};
  std::string path = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

LocalServer::LocalServer(Kind kind, const std::vector<std::string>& arguments) {
  scheme_ = kind == Kind::Http ? "http" : kind == Kind::Https ? "https" : "ftp";
  const std::string python = dosPathOf(kPython);
  if (python.empty()) {
    error_ = "not running under Wine: cannot reach " + std::string(kPython);
    return;
  }
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  portFile_ = std::string(temp) + "haulix-server-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(counter++) + ".port";
  DeleteFileA(portFile_.c_str());
  const std::string script = std::string(HAULIX_SOURCE_DIR) + "/tests/server/" +
                             (kind == Kind::Ftp ? "ftp_server.py" : "http_server.py");
  std::string command =
      quoted(python) + " " + quoted(script) + " --port-file " + quoted(unixPathOf(portFile_));
  for (const std::string& argument : arguments) command += " " + quoted(argument);

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    error_ = "cannot start " + command + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  // Wine hands back no handle worth keeping for a Unix program: it runs detached.
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);

  const DWORD began = GetTickCount();
  std::string content;
  while (!readFile(portFile_, content) || content.find('\n') == std::string::npos) {
    if (GetTickCount() - began > kStartLimitMs) {
      error_ = "no port file from " + command;
      return;
    }
    Sleep(20);
  }
  char* end = nullptr;
  const unsigned long port = std::strtoul(content.c_str(), &end, 10);
  const unsigned long lifeline = std::strtoul(end, nullptr, 10);
  if (port == 0 || port > 65535 || lifeline == 0 || lifeline > 65535) {
    error_ = "bad port file: " + content;
    return;
  }
  port_ = static_cast<uint16_t>(port);
  lifelinePort_ = static_cast<uint16_t>(lifeline);
  SOCKET s = connectLocal(lifelinePort_);
  if (s != INVALID_SOCKET) lifeline_ = static_cast<uintptr_t>(s);
}

LocalServer::~LocalServer() {
  stop();
}

void LocalServer::stop() {
  if (port_ == 0) return;
  if (lifeline_ != ~uintptr_t{0}) {
    closesocket(static_cast<SOCKET>(lifeline_));
    lifeline_ = ~uintptr_t{0};
  } else if (scheme_ != "ftp") {
    fetch("/_quit");
  }
  // The server removes its port file as it goes; then its port is free again.
  const DWORD began = GetTickCount();
  while (GetFileAttributesA(portFile_.c_str()) != INVALID_FILE_ATTRIBUTES &&
         GetTickCount() - began < kStopLimitMs) {
    Sleep(20);
  }
  port_ = 0;
}

std::string LocalServer::address(const std::string& path) const {
  return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LocalServer::plainAddress(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LocalServer::fetch(const std::string& path) const {
  SOCKET s = connectLocal(port_);
  if (s == INVALID_SOCKET) return {};
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  std::string reply;
  if (send(s, request.data(), static_cast<int>(request.size()), 0) ==
      static_cast<int>(request.size())) {
    char buffer[65536];
    int n;
    while ((n = recv(s, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, n);
  }
  closesocket(s);
  const size_t body = reply.find("\r\n\r\n");
  return body == std::string::npos ? std::string() : reply.substr(body + 4);
}

std::vector<LocalServer::Request> LocalServer::requests() const {
  std::vector<Request> requests;
  const std::string log = fetch("/_log.txt");
  size_t at = 0;
  while (at < log.size()) {
    size_t end = log.find("\r\n", at);
    if (end == std::string::npos) break;
    std::string line = log.substr(at, end - at);
    at = end + 2;
    if (line.empty()) continue;
    Request request;
    char method[16] = {};
    int consumed = 0;
    long long sent = 0;
    if (std::sscanf(line.c_str(), "%d %d %d %lld %15s %n", &request.seq, &request.clientPort,
                    &request.status, &sent, method, &consumed) < 5) {
      break;
    }
    request.method = method;
    request.sent = static_cast<uint64_t>(sent);
    request.path = line.substr(consumed);
    while (at < log.size()) {
      end = log.find("\r\n", at);
      if (end == std::string::npos) end = log.size();
      std::string header = log.substr(at, end - at);
      at = end + 2;
      if (header.empty()) break;
      size_t colon = header.find(": ");
      if (colon == std::string::npos) continue;
      request.headers.emplace_back(header.substr(0, colon), header.substr(colon + 2));
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

std::string LocalServer::Request::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (sameTextIgnoringCase(key, name)) return value;
  }
  return {};
}

bool LocalServer::Request::hasHeader(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (sameTextIgnoringCase(key, name)) return true;
  }
  return false;
}

TempFolder::TempFolder() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  path_ = std::string(temp) + "haulix-test-" + std::to_string(GetCurrentProcessId()) + "-" +
          std::to_string(GetTickCount()) + "-" + std::to_string(counter++) + "\\";
  CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  removeTree(path_.substr(0, path_.size() - 1));
}

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA data = {};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

std::string TempFolder::unixPath() const {
  return unixPathOf(path_);
}

bool TempFolder::write(const std::string& name, const std::string& bytes) const {
  HANDLE file = CreateFileA((path_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::string generatedBytes(uint32_t seed, uint64_t offset, size_t count) {
  constexpr uint32_t kPeriod = 65521;
  static thread_local uint32_t tableSeed = 0;
  static thread_local std::string table;
  if (table.empty() || tableSeed != seed) {
    table.assign(kPeriod, '\0');
    uint32_t x = seed;
    for (uint32_t j = 0; j < kPeriod; ++j) {
      x = x * 1103515245u + 12345u;
      table[j] = static_cast<char>(x >> 24);
    }
    tableSeed = seed;
  }
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    const uint64_t at = offset + i;
    bytes[i] = static_cast<char>(static_cast<unsigned char>(table[at % kPeriod]) ^
                                 static_cast<unsigned char>((at / kPeriod) & 0xFF));
  }
  return bytes;
}
