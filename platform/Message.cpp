#include "platform/Message.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace platform {
namespace {

class StderrPresenter final : public MessagePresenter {
public:
    MessageAnswer Present(std::string_view text, std::string_view caption, unsigned boxType,
                          bool /*english*/) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                     static_cast<int>(text.size()), text.data());
        return (boxType & 0x0F) == kBoxYesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
};

StderrPresenter gStderrPresenter;
std::atomic<MessagePresenter*> gPresenter{nullptr};
std::atomic<bool> gEnglish{true};
std::mutex gCaptionMutex;
std::string gCaption = "Message";

}  // namespace

void SetMessagePresenter(MessagePresenter* presenter) { gPresenter.store(presenter); }
void SetMessageLanguageEnglish(bool english) { gEnglish.store(english); }
bool MessageLanguageEnglish() { return gEnglish.load(); }

void SetMessageCaption(std::string caption) {
    std::lock_guard lock(gCaptionMutex);
    gCaption = std::move(caption);
}

MessageAnswer ShowBilingualMessage(std::string_view chinese, std::string_view english, unsigned boxType) {
    std::string caption;
    {
        std::lock_guard lock(gCaptionMutex);
        caption = gCaption;
    }
    const bool useEnglish = gEnglish.load();
    MessagePresenter* presenter = gPresenter.load();
    if (presenter == nullptr) presenter = &gStderrPresenter;
    return presenter->Present(useEnglish ? english : chinese, caption, boxType, useEnglish);
}

std::string FormatMessageText(std::string_view text, std::string_view value) {
    const std::size_t at = text.find("%s");
    if (at == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + value.size());
    out.append(text.substr(0, at)).append(value).append(text.substr(at + 2));
    return out;
}

}  // namespace platform
