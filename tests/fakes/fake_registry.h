#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/registry.h"

// Stored value types, as the system numbers them.
namespace registry_type {
inline constexpr uint32_t kSz = 1;
inline constexpr uint32_t kBinary = 3;
inline constexpr uint32_t kDword = 4;
}  // namespace registry_type

// An in-memory registry that answers as the system does: a tree of keys per root, key
// paths and value names compared ignoring case, values kept as their type and raw stored
// bytes (so a test can store a text without its zero byte, an empty value, or an 8-byte
// number), keys created by any access, a key with subkeys that cannot be deleted.
//
// Faults on demand: writes refused (values are neither set nor deleted and no key can be
// made, but what exists can still be read), and roots that cannot be opened at all (the
// machine-wide root for an ordinary user).
//
// Counts the writes the program makes and the reads of each value. The put/erase calls of
// the test side are not counted: they stand for the user or another process.
class FakeRegistry final : public Registry {
 public:
  struct Value {
    uint32_t type = registry_type::kBinary;
    std::string bytes;
  };

  bool readNumber(RegistryRoot root, const std::string& key, const std::string& name,
                  int32_t& value) override;
  bool readText(RegistryRoot root, const std::string& key, const std::string& name,
                std::string& text) override;
  bool writeNumber(RegistryRoot root, const std::string& key, const std::string& name,
                   int32_t value) override;
  bool writeText(RegistryRoot root, const std::string& key, const std::string& name,
                 std::string_view text) override;
  bool remove(RegistryRoot root, const std::string& key, const std::string& name) override;
  // Signals after any change to any key, the test side's included: more often than the
  // system, which a watch allows.
  std::unique_ptr<RegistryWatch> watchKey(RegistryRoot root, const std::string& key) override;

  // The test side.
  void putNumber(RegistryRoot root, const std::string& key, const std::string& name, int32_t value);
  // REG_SZ with its terminating zero, as a write of the program stores it.
  void putText(RegistryRoot root, const std::string& key, const std::string& name,
               std::string_view text);
  // Exactly these bytes, of any type.
  void putRaw(RegistryRoot root, const std::string& key, const std::string& name, uint32_t type,
              std::string_view bytes);
  void erase(RegistryRoot root, const std::string& key, const std::string& name);
  const Value* find(RegistryRoot root, const std::string& key, const std::string& name) const;
  // What the program would read, for assertions; nullopt when absent or unreadable.
  std::optional<int32_t> number(RegistryRoot root, const std::string& key,
                                const std::string& name) const;
  std::optional<std::string> text(RegistryRoot root, const std::string& key,
                                  const std::string& name) const;
  bool hasKey(RegistryRoot root, const std::string& key) const;
  size_t valueCount() const { return values_.size(); }

  // Calls of writeNumber, writeText and remove, refused ones included.
  int writes() const { return writes_; }
  // Calls of readNumber and readText of that value.
  int readsOf(RegistryRoot root, const std::string& key, const std::string& name) const;

  bool refuseWrites = false;
  std::set<RegistryRoot> deniedRoots;

 private:
  using KeyId = std::pair<RegistryRoot, std::string>;  // path upper-cased
  using ValueId = std::tuple<RegistryRoot, std::string, std::string>;

  // Opens the key as the program does: creates it (and its parents) unless writes are
  // refused. False when it cannot be opened.
  bool open(RegistryRoot root, const std::string& key);
  void makeKey(RegistryRoot root, const std::string& key);
  const Value* readable(RegistryRoot root, const std::string& key, const std::string& name);
  bool store(RegistryRoot root, const std::string& key, const std::string& name, Value value);
  static ValueId idOf(RegistryRoot root, const std::string& key, const std::string& name);

  std::set<KeyId> keys_;
  std::map<ValueId, Value> values_;
  std::map<ValueId, int> reads_;
  int writes_ = 0;
  uint64_t changes_ = 0;  // what a watch compares
};
