#include "fakes/fake_registry.h"

namespace {

std::string folded(std::string_view text) {
  std::string copy(text);
  for (char& c : copy) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return copy;
}

std::string dwordBytes(int32_t value) {
  auto number = static_cast<uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  return bytes;
}

}  // namespace

class FakeRegistryWatch final : public RegistryWatch {
 public:
  explicit FakeRegistryWatch(const uint64_t& changes) : changes_(changes) {}
  bool changed() override {
    if (seen_ && *seen_ == changes_) return false;
    seen_ = changes_;
    return true;
  }

 private:
  const uint64_t& changes_;
  std::optional<uint64_t> seen_;
};

std::unique_ptr<RegistryWatch> FakeRegistry::watchKey(RegistryRoot root, const std::string& key) {
  if (!open(root, key)) return nullptr;
  return std::make_unique<FakeRegistryWatch>(changes_);
}

FakeRegistry::ValueId FakeRegistry::idOf(RegistryRoot root, const std::string& key,
                                         const std::string& name) {
  return {root, folded(key), folded(name)};
}

void FakeRegistry::makeKey(RegistryRoot root, const std::string& key) {
  std::string path = folded(key);
  for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
    keys_.insert({root, path.substr(0, at)});
  }
  keys_.insert({root, path});
}

bool FakeRegistry::open(RegistryRoot root, const std::string& key) {
  if (deniedRoots.count(root)) return false;
  if (hasKey(root, key)) return true;
  if (refuseWrites) return false;
  makeKey(root, key);
  return true;
}

bool FakeRegistry::hasKey(RegistryRoot root, const std::string& key) const {
  return keys_.count({root, folded(key)}) > 0;
}

const FakeRegistry::Value* FakeRegistry::readable(RegistryRoot root, const std::string& key,
                                                  const std::string& name) {
  ++reads_[idOf(root, key, name)];
  if (!open(root, key)) return nullptr;
  return find(root, key, name);
}

bool FakeRegistry::readNumber(RegistryRoot root, const std::string& key, const std::string& name,
                              int32_t& value) {
  const Value* stored = readable(root, key, name);
  return stored && numberFromStoredBytes(stored->bytes, value);
}

bool FakeRegistry::readText(RegistryRoot root, const std::string& key, const std::string& name,
                            std::string& text) {
  const Value* stored = readable(root, key, name);
  if (!stored) return false;
  text = textFromStoredBytes(stored->bytes);
  return true;
}

bool FakeRegistry::store(RegistryRoot root, const std::string& key, const std::string& name,
                         Value value) {
  ++writes_;
  if (refuseWrites || !open(root, key)) return false;
  values_[idOf(root, key, name)] = std::move(value);
  ++changes_;
  return true;
}

bool FakeRegistry::writeNumber(RegistryRoot root, const std::string& key, const std::string& name,
                               int32_t value) {
  return store(root, key, name, {registry_type::kDword, dwordBytes(value)});
}

bool FakeRegistry::writeText(RegistryRoot root, const std::string& key, const std::string& name,
                             std::string_view text) {
  std::string bytes(text);
  bytes.push_back('\0');
  return store(root, key, name, {registry_type::kSz, std::move(bytes)});
}

bool FakeRegistry::remove(RegistryRoot root, const std::string& key, const std::string& name) {
  ++writes_;
  if (refuseWrites || deniedRoots.count(root)) return false;
  ++changes_;
  if (!name.empty()) {
    if (!open(root, key)) return false;
    return values_.erase(idOf(root, key, name)) > 0;
  }
  std::string path = folded(key);
  if (!keys_.count({root, path})) return false;
  for (const KeyId& other : keys_) {
    // The system deletes only a key without subkeys.
    if (other.first == root && other.second.starts_with(path + "\\")) return false;
  }
  keys_.erase({root, path});
  for (auto it = values_.begin(); it != values_.end();) {
    if (std::get<0>(it->first) == root && std::get<1>(it->first) == path) {
      it = values_.erase(it);
    } else {
      ++it;
    }
  }
  return true;
}

void FakeRegistry::putNumber(RegistryRoot root, const std::string& key, const std::string& name,
                             int32_t value) {
  putRaw(root, key, name, registry_type::kDword, dwordBytes(value));
}

void FakeRegistry::putText(RegistryRoot root, const std::string& key, const std::string& name,
                           std::string_view text) {
  std::string bytes(text);
  bytes.push_back('\0');
  putRaw(root, key, name, registry_type::kSz, bytes);
}

void FakeRegistry::putRaw(RegistryRoot root, const std::string& key, const std::string& name,
                          uint32_t type, std::string_view bytes) {
  makeKey(root, key);
  values_[idOf(root, key, name)] = Value{type, std::string(bytes)};
  ++changes_;
}

void FakeRegistry::erase(RegistryRoot root, const std::string& key, const std::string& name) {
  values_.erase(idOf(root, key, name));
  ++changes_;
}

const FakeRegistry::Value* FakeRegistry::find(RegistryRoot root, const std::string& key,
                                              const std::string& name) const {
  auto it = values_.find(idOf(root, key, name));
  return it == values_.end() ? nullptr : &it->second;
}

std::optional<int32_t> FakeRegistry::number(RegistryRoot root, const std::string& key,
                                            const std::string& name) const {
  const Value* stored = find(root, key, name);
  int32_t value = 0;
  if (!stored || !numberFromStoredBytes(stored->bytes, value)) return std::nullopt;
  return value;
}

std::optional<std::string> FakeRegistry::text(RegistryRoot root, const std::string& key,
                                              const std::string& name) const {
  const Value* stored = find(root, key, name);
  if (!stored) return std::nullopt;
  return textFromStoredBytes(stored->bytes);
}

int FakeRegistry::readsOf(RegistryRoot root, const std::string& key,
                          const std::string& name) const {
  auto it = reads_.find(idOf(root, key, name));
  return it == reads_.end() ? 0 : it->second;
}
