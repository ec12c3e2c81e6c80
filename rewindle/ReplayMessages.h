#pragma once
// Every message the replay tool raises, in its Chinese and English forms. All of them are shown as
// warnings with an OK button, with the program's name as the caption.

#include <string_view>

#include "platform/Message.h"

namespace rewindle {

struct BilingualText {
    std::string_view chinese;
    std::string_view english;
};

inline constexpr const char* kMessageCaption = "Rewindle";
inline constexpr unsigned kMessageBoxType = platform::kBoxWarning;

inline constexpr BilingualText kMsgEmptyPath{"文件路径为空", "Please open the file you want to send first!"};
inline constexpr BilingualText kMsgMissingFile{"文件不存在", "The file path opened is not valid!"};
inline constexpr BilingualText kMsgOpenFailed{"文件打开失败！", "File open failed!"};
inline constexpr BilingualText kMsgNotConnected{"未与Marivane软件建立连接!",
                                                "Please connect the Marivane first!"};
inline constexpr BilingualText kMsgNoFile{"请先打开文件", "Please open the file first!"};
inline constexpr BilingualText kMsgSendComplete{"文件发送完成！", "File Send complete!"};
// A file that cannot be read any further ends the replay with this, never as a completed one.
inline constexpr BilingualText kMsgReadFailed{"文件读取失败！", "File read failed!"};
inline constexpr BilingualText kMsgCreateError{"Creat Error", "Creat Error"};
inline constexpr BilingualText kMsgClientBuffer{"g_sockConn_SONARsetsockopt SO_RCVBUF: ",
                                                "g_sockConn_SONARsetsockopt SO_RCVBUF: "};
inline constexpr BilingualText kMsgNoLanguageLibrary{"Unable to load resource DLL!",
                                                     "Unable to load resource DLL!"};

inline platform::MessageAnswer Show(const BilingualText& text) {
    return platform::ShowBilingualMessage(text.chinese, text.english, kMessageBoxType);
}

}  // namespace rewindle
