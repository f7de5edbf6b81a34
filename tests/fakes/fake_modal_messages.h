#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/modal_messages.h"

// Records every message box the program shows and answers as the test says: the queued
// answers in turn, then `defaultAnswer`.
class FakeModalMessages final : public ModalMessages {
 public:
  struct Shown {
    std::string title;
    std::string text;
    uint32_t style = 0;
  };

  int show(const std::string& title, const std::string& text, uint32_t style) override {
    shown.push_back({title, text, style});
    if (answers.empty()) return defaultAnswer;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<Shown> shown;
  std::deque<int> answers;
  int defaultAnswer = message_answer::kOk;
};
