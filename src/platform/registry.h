#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The two registry roots the program uses.
enum class RegistryRoot { kCurrentUser, kLocalMachine };

// A sign that a key's values may have changed, for a reader that keeps what it read instead
// of reading every value again each time it looks.
class RegistryWatch {
 public:
  virtual ~RegistryWatch() = default;
  // True at the first call, and afterwards when the key may have changed since the last
  // call that answered true (by this process or another). It may answer true without a
  // change; never false after one.
  virtual bool changed() = 0;
};

// The only way the program reaches the registry. Every call opens its key for all access,
// creating it when it is missing (also for a read), and closes it again before it returns:
// no handle stays open between calls (a watch aside), so another process's changes are seen
// at once. A key that cannot be opened (no write access to the machine-wide root, say)
// reads as absent.
class Registry {
 public:
  virtual ~Registry() = default;

  // A number of at most 4 bytes, whatever the stored type (numberFromStoredBytes). False
  // when the value is absent, longer than 4 bytes, or cannot be read.
  virtual bool readNumber(RegistryRoot root, const std::string& key, const std::string& name,
                          int32_t& value) = 0;
  // A text, whatever the stored type (textFromStoredBytes). False when the value is absent
  // or cannot be read.
  virtual bool readText(RegistryRoot root, const std::string& key, const std::string& name,
                        std::string& text) = 0;
  // REG_DWORD of 4 bytes. The program ignores failures; the result is for tests.
  virtual bool writeNumber(RegistryRoot root, const std::string& key, const std::string& name,
                           int32_t value) = 0;
  // REG_SZ of the text's length plus one: its bytes and a terminating zero.
  virtual bool writeText(RegistryRoot root, const std::string& key, const std::string& name,
                         std::string_view text) = 0;
  // Deletes the named value; with an empty name, the key itself (which must have no
  // subkeys).
  virtual bool remove(RegistryRoot root, const std::string& key, const std::string& name) = 0;
  // A watch on the key's values (not its subkeys), creating the key when it is missing;
  // null when the key cannot be watched.
  virtual std::unique_ptr<RegistryWatch> watchKey(RegistryRoot root, const std::string& key) = 0;
};

// The reading rules every implementation applies to the stored bytes, so that the same
// value reads the same everywhere.
//
// A number: at most 4 bytes, little-endian, into a 32-bit number that starts at 0 (so 2
// stored bytes give their 16-bit value). False for 5 bytes or more.
bool numberFromStoredBytes(std::string_view bytes, int32_t& value);
// A text: the bytes read into a buffer of the stored size whose last byte is forced to
// zero, then taken up to the first zero byte. So a text stored without its terminating
// zero loses its last byte, and a value of 0 bytes reads as the empty text.
std::string textFromStoredBytes(std::string_view bytes);
