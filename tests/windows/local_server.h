#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A local test server (tests/server/*.py) started by the test itself, on a port the system
// picks. Under Wine the test starts Debian's /usr/bin/python3 directly: CreateProcess of a
// Unix program works, but gives no usable process handle and detaches the program, so the
// server reports its port through a port file and keeps a "lifeline" socket to this process;
// when the object goes (or the test dies), the lifeline closes and the server stops.
class LocalServer {
 public:
  // Https: the HTTP server with "--tls PEM" among the arguments; its port speaks plain HTTP
  // too, which fetch() and requests() use.
  enum class Kind { Http, Https, Ftp };

  // Starts the server with extra command-line arguments and waits for its port. Check
  // running() (and error()) before use.
  explicit LocalServer(Kind kind, const std::vector<std::string>& arguments = {});
  // Stops the server and waits (briefly) until it has gone.
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  bool running() const { return port_ != 0; }
  const std::string& error() const { return error_; }
  uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" + path (or "https://..." or "ftp://...").
  std::string address(const std::string& path) const;
  // "http://127.0.0.1:PORT" + path whatever the kind: an HTTPS server's port in plain HTTP.
  std::string plainAddress(const std::string& path) const;

  // HTTP and HTTPS: a plain GET of `path` without WinInet; the body, empty on failure.
  std::string fetch(const std::string& path) const;

  struct Request {
    int seq = 0;
    int clientPort = 0;  // one per connection
    int status = 0;
    uint64_t sent = 0;  // body bytes the server wrote
    std::string method;
    std::string path;  // with the query
    std::vector<std::pair<std::string, std::string>> headers;
    // The first header of that name (case ignored); empty when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
  };
  // HTTP and HTTPS: every request the server has seen, oldest first.
  std::vector<Request> requests() const;

 private:
  void stop();

  uint16_t port_ = 0;
  uint16_t lifelinePort_ = 0;
  uintptr_t lifeline_ = ~uintptr_t{0};
  std::string portFile_;
  std::string scheme_;
  std::string error_;
};

// A folder of its own under the temporary folder, removed with its files at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }  // Windows path, ending in "\"
  std::string unixPath() const;                      // the same folder for a Unix program
  // Writes a file in the folder; false on failure.
  bool write(const std::string& name, const std::string& bytes) const;

 private:
  std::string path_;
};

// Removes a folder and everything in it, read-only entries and subfolders included.
void removeTree(const std::string& folder);

// The bytes of /gen/SIZE?seed=SEED from `offset` on, as the HTTP server makes them.
std::string generatedBytes(uint32_t seed, uint64_t offset, size_t count);

// A Windows path as a Unix program sees it under Wine; empty outside Wine.
std::string unixPathOf(const std::string& windowsPath);
// A Unix path as a Windows program sees it under Wine; empty outside Wine.
std::string windowsPathOf(const std::string& unixPath);
