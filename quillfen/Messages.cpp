#include "quillfen/Messages.h"

#include "platform/Message.h"

namespace quillfen {

BilingualText WithValue(const BilingualText& text, std::string_view value) {
    return {platform::FormatMessageText(text.chinese, value),
            platform::FormatMessageText(text.english, value)};
}

BilingualText Joined(const BilingualText& a, const BilingualText& b, std::string_view separator) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {a.chinese + std::string(separator) + b.chinese, a.english + std::string(separator) + b.english};
}

namespace msg {

const BilingualText kOpenFailed{"打开源文件失败", "Open the File Failed"};
const BilingualText kReadFailed{"读取源文件失败：%s", "Reading the file failed: %s"};
const BilingualText kSourceShortened{"源文件在转换过程中变短，输出不完整：%s",
                                     "The file became shorter while it was being converted: %s"};
const BilingualText kEmptyFile{"源文件为空：%s", "The file is empty: %s"};
const BilingualText kTruncatedHeader{"源文件在文件头内结束（文件不完整）：%s",
                                     "The file ends inside its header (the file is incomplete): %s"};
const BilingualText kUnknownFormat{"不是可识别格式（1.0.0、1.1.0、1.2.0）的原始数据文件：%s",
                                   "Not a raw data file of a known format (1.0.0, 1.1.0, 1.2.0): %s"};
const BilingualText kDamaged{"源文件已损坏，部分数据无法读取：%s",
                             "The file is damaged, part of it cannot be read: %s"};
const BilingualText kNoPings{"源文件中没有可转换的声呐数据：%s",
                             "The file holds no sonar pings to convert: %s"};

const BilingualText kNewHsxFailed{"新建.HSX文件失败", "New .HSX file failed"};
const BilingualText kNewXtfFailed{"新建.xtf文件失败", "New .xtf file failed"};
const BilingualText kWriteFailed{"写入目标文件失败：%s", "Writing the output file failed: %s"};

const BilingualText kAdjustmentOutOfRange{
    "系统调节常数设置有误，绝对值不能超过100!",
    "The system adjustment constant is set incorrectly. The absolute value can not exceed 100!"};
const BilingualText kSetDataAndOutput{"请设置源文件和目标文件!",
                                      "Please set the Data file and the output file!"};
const BilingualText kDualHeadXtf{"暂不支持将双探头声呐数据转为XTF文件！",
                                 "Conversion to XTF File for Dual Head Sonar data is not supported!"};
const BilingualText kConversionSuccessful{"文件转换成功!", "Conversion successful!"};
const BilingualText kConversionSuccessfulSplit{
    "文件转换成功!由于数据跨越了时间0点，文件被转换成 %d 个HSX文件",
    "Conversion successful! The file is converted into %d HSX files as it crosses the time 0 o'clock"};
const BilingualText kConversionFailed{"转换失败!", "Conversion failed!"};
const BilingualText kTypeNotSupported{"转换目标文件类型异常，本软件暂不支持！",
                                      "Conversion file type anomaly, the software is not supported!"};
const BilingualText kResetAntennaQuestion{
    "转换多个文件时选择了重设GPS天线高模式 \n请确保所有文件的GPS天线安装高度是相同的！\n"
    "如果多个文件的GPS天线高度不一致，请分别转换！\n\n是否继续？",
    "Choose to reset GPS antenna height when converting multiple files \n"
    "Make sure the GPS antenna mounting height for all files is the same!\n"
    "If the height of GPS antenna of multiple files is inconsistent, please change it separately!\n\n"
    "Do you want to continue?"};
const BilingualText kNoRawFiles{"设置目录下没有*.mbm文件", "No *.mbm File in The Folder"};
const BilingualText kOpenLogFailed{"打开.log文件失败", "Open .log File Failed"};
const BilingualText kWriteLogFailed{"写入.log文件失败：%s", "Writing the .log file failed: %s"};
const BilingualText kFailedCount{"转换失败的文件数量为: ", "The number of failed Conversion is: "};
const BilingualText kFailedNames{"转换失败的文件名分别为:", "Conversion failed file names were:"};
const BilingualText kAllConverted{"所有文件转换完毕", "All files have been converted"};
const BilingualText kSplitNotePrefix{"请注意： 文件 ", "Please note: file "};
const BilingualText kSplitNoteSuffix{
    " 数据跨越了时间0点，被转换成多个HSX文件，文件名以后缀 _NewDay 标识！",
    "spans time 0, is converted into multiple HSX files, and the file name suffixed with _NewDay!"};
const BilingualText kInit{"初始化中...", "Init ..."};
const BilingualText kStopped{"转换未启动", "Stop"};

}  // namespace msg
}  // namespace quillfen
