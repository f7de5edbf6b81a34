#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "site/site_page.h"
#include "site/text_span.h"

// What resolving the values of one page scan gave, so that each value is resolved once:
// by the value's bytes as they stand in the file (the same link met again anywhere), and
// by its place (the generic passes meet again, at the same offsets, the values the tag
// passes resolved first; those are found by walking a sorted list along with the pass,
// without a look-up).
class ValueMemo {
 public:
  struct Known {
    int32_t link = -1;  // the address's entry in the scan's found links; -1: no usable address
    LinkKind byExtension = LinkKind::None;
  };

  // A pass begins. `inOrder`: its values come at increasing offsets.
  void beginPass(bool inOrder);
  // What the value gave before; false when it is new.
  bool find(const TextSpan& value, Known& known);
  void remember(const TextSpan& value, const Known& known);

 private:
  struct Placed {
    int64_t start;
    int64_t end;
    Known known;
  };
  static std::string_view bytesOf(const TextSpan& value) {
    return {reinterpret_cast<const char*>(value.bytes + value.start),
            static_cast<size_t>(value.end - value.start)};
  }
  struct BytesHash {
    using is_transparent = void;
    size_t operator()(std::string_view bytes) const { return std::hash<std::string_view>{}(bytes); }
  };

  std::unordered_map<std::string, Known, BytesHash, std::equal_to<>> byBytes_;
  std::vector<Placed> placed_;  // sorted by place, from the passes before this one
  std::vector<Placed> fresh_;   // met in this pass
  size_t cursor_ = 0;
  bool inOrder_ = false;
};
