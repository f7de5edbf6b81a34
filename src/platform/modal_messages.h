#pragma once
#include <cstdint>
#include <string>

// Message box styles and answers, as the system numbers them (MB_..., ID...).
namespace message_style {
inline constexpr uint32_t kOk = 0x0;
inline constexpr uint32_t kYesNoCancel = 0x3;
inline constexpr uint32_t kYesNo = 0x4;
inline constexpr uint32_t kIconError = 0x10;
inline constexpr uint32_t kIconQuestion = 0x20;
inline constexpr uint32_t kIconExclamation = 0x30;
inline constexpr uint32_t kDefaultButton2 = 0x100;
}  // namespace message_style

namespace message_answer {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace message_answer

// A modal message box on the program's main window. Blocks until the user answers.
class ModalMessages {
 public:
  virtual ~ModalMessages() = default;
  // `style` combines message_style bits; gives the message_answer of the button pressed.
  virtual int show(const std::string& title, const std::string& text, uint32_t style) = 0;
};
