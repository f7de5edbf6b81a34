#include "fakes/fake_file_types.h"

namespace {
std::string lowered(std::string_view s) {
  std::string copy(s);
  for (char& c : copy)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return copy;
}
}  // namespace

FakeFileTypes::FakeFileTypes()
    : typeNames{{".htm", "HTML Document"},
                {".html", "HTML Document"},
                {".zip", "ZIP Archive"},
                {".txt", "Text Document"},
                {"", "File"}} {}

FileType FakeFileTypes::lookup(std::string_view extension) {
  ++lookups;
  std::string key = lowered(extension);
  if (key == ".html") key = ".htm";  // one registered type, one icon
  auto icon = icons_.try_emplace(key, static_cast<int>(icons_.size())).first->second;
  auto name = typeNames.find(lowered(extension));
  return {icon, name == typeNames.end() ? std::string() : name->second};
}
