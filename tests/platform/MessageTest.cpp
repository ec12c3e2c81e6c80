#include "platform/Message.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorder final : platform::MessagePresenter {
    struct Shown {
        std::string text, caption;
        unsigned type;
        bool english;
    };
    std::vector<Shown> shown;
    platform::MessageAnswer answer = platform::MessageAnswer::No;
    platform::MessageAnswer Present(std::string_view text, std::string_view caption, unsigned type,
                                    bool english) override {
        shown.push_back({std::string(text), std::string(caption), type, english});
        return answer;
    }
};

TEST(Message, LanguagePicksTheTextAndThePresenterAnswers) {
    Recorder rec;
    platform::SetMessagePresenter(&rec);
    platform::SetMessageCaption("Suite");
    platform::SetMessageLanguageEnglish(false);
    EXPECT_EQ(platform::ShowBilingualMessage("中文", "English", platform::kBoxConfirm), platform::MessageAnswer::No);
    platform::SetMessageLanguageEnglish(true);
    platform::ShowBilingualMessage("中文", "English", platform::kBoxError);
    platform::SetMessagePresenter(nullptr);
    ASSERT_EQ(rec.shown.size(), 2u);
    EXPECT_EQ(rec.shown[0].text, "中文");
    EXPECT_EQ(rec.shown[0].type, 0x24u);
    EXPECT_FALSE(rec.shown[0].english);
    EXPECT_EQ(rec.shown[1].text, "English");
    EXPECT_EQ(rec.shown[1].caption, "Suite");
    EXPECT_EQ(rec.shown[1].type, 0x31u);
    // The default presenter answers the affirmative button of the box.
    EXPECT_EQ(platform::ShowBilingualMessage("是", "yes?", platform::kBoxConfirm), platform::MessageAnswer::Yes);
}

TEST(Message, FormatMessageText) {
    EXPECT_EQ(platform::FormatMessageText("%s file path error!", "/p/a.ini"), "/p/a.ini file path error!");
    EXPECT_EQ(platform::FormatMessageText("no placeholder", "x"), "no placeholder");
}

}  // namespace
