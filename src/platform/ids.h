#pragma once
#include <string>

// Fresh unique tokens: the 32 lower-case hexadecimal digits of a newly made GUID, in the
// order the GUID is written, without braces or hyphens; empty when no GUID could be made.
class Ids {
 public:
  virtual ~Ids() = default;
  virtual std::string newToken() = 0;
};
