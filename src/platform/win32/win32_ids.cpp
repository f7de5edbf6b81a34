#include "platform/win32/win32_ids.h"

#include <objbase.h>
#include <windows.h>

std::string Win32Ids::newToken() {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return {};
  wchar_t written[64] = {};
  if (StringFromGUID2(guid, written, 64) == 0) return {};
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": keep the digits, in lower case.
  std::string token;
  for (const wchar_t* p = written; *p; ++p) {
    wchar_t c = *p;
    if (c >= L'0' && c <= L'9') token += static_cast<char>(c);
    else if (c >= L'A' && c <= L'F') token += static_cast<char>(c - L'A' + 'a');
    else if (c >= L'a' && c <= L'f') token += static_cast<char>(c);
  }
  return token.size() == 32 ? token : std::string();
}
