#include "platform/registry.h"

bool numberFromStoredBytes(std::string_view bytes, int32_t& value) {
  if (bytes.size() > 4) return false;
  uint32_t number = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    number |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  value = static_cast<int32_t>(number);
  return true;
}

std::string textFromStoredBytes(std::string_view bytes) {
  // The forced zero replaces the last byte; with no bytes there is no last byte to replace,
  // and the text is simply empty.
  if (bytes.empty()) return {};
  bytes.remove_suffix(1);
  return std::string(bytes.substr(0, bytes.find('\0')));
}
