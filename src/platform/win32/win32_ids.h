#pragma once
#include "platform/ids.h"

// Tokens from CoCreateGuid, written out with StringFromGUID2.
class Win32Ids final : public Ids {
 public:
  std::string newToken() override;
};
