#pragma once
// A message presenter for tests: keeps every message shown, in order, and answers as told.

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Message.h"

namespace platform::ui {

struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned boxType = 0;
    bool english = false;
};

class RecordingPresenter final : public platform::MessagePresenter {
  public:
    explicit RecordingPresenter(platform::MessageAnswer answer = platform::MessageAnswer::Ok)
        : answer_(answer) {}

    platform::MessageAnswer Present(std::string_view text, std::string_view caption, unsigned boxType,
                                    bool english) override {
        std::lock_guard lock(mutex_);
        shown_.push_back({std::string(text), std::string(caption), boxType, english});
        return answer_;
    }
    std::vector<ShownMessage> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(shown_, {});
    }
    std::vector<std::string> TakeTexts() {
        std::vector<std::string> texts;
        for (ShownMessage& m : Take()) texts.push_back(std::move(m.text));
        return texts;
    }

  private:
    std::mutex mutex_;
    platform::MessageAnswer answer_;
    std::vector<ShownMessage> shown_;
};

}  // namespace platform::ui
