#pragma once
#include <map>
#include <string>
#include <string_view>

#include "platform/file_types.h"

// Stable answers per extension, as a shell with a few registered types would give:
// ".htm"/".html" "HTML Document", ".zip" "ZIP Archive", ".txt" "Text Document", the empty
// extension "File"; any other extension has an icon of its own but no type name. The icon
// index of an extension is the order in which it was first asked for (so the same
// extension always gets the same index). Types can be added or changed by the test.
class FakeFileTypes final : public FileTypes {
 public:
  FakeFileTypes();
  FileType lookup(std::string_view extension) override;

  std::map<std::string, std::string> typeNames;  // lower-case extension -> type name
  int lookups = 0;

 private:
  std::map<std::string, int> icons_;
};
