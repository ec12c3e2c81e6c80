#pragma once
// Every message the converter raises, in its Chinese and English forms. The reader and the writers
// return them; the batch driver shows them, in the order of the files, through the platform's
// bilingual messages.

#include <string>
#include <string_view>

namespace quillfen {

struct BilingualText {
    std::string chinese, english;

    bool Empty() const { return chinese.empty() && english.empty(); }
    const std::string& In(bool englishLanguage) const { return englishLanguage ? english : chinese; }
};

// Replaces the first "%s" of both forms with `value`.
BilingualText WithValue(const BilingualText& text, std::string_view value);
// Both forms of `a` followed by both forms of `b`, joined by `separator`.
BilingualText Joined(const BilingualText& a, const BilingualText& b, std::string_view separator = "\n");

namespace msg {

// Reader.
extern const BilingualText kOpenFailed;
extern const BilingualText kReadFailed;
extern const BilingualText kSourceShortened;
extern const BilingualText kEmptyFile;
extern const BilingualText kTruncatedHeader;
extern const BilingualText kUnknownFormat;
extern const BilingualText kDamaged;
extern const BilingualText kNoPings;

// Writers.
extern const BilingualText kNewHsxFailed;
extern const BilingualText kNewXtfFailed;
extern const BilingualText kWriteFailed;

// Batch driver.
extern const BilingualText kAdjustmentOutOfRange;
extern const BilingualText kSetDataAndOutput;
extern const BilingualText kDualHeadXtf;
extern const BilingualText kConversionSuccessful;
extern const BilingualText kConversionSuccessfulSplit;  // "%d" files
extern const BilingualText kConversionFailed;
extern const BilingualText kTypeNotSupported;
extern const BilingualText kResetAntennaQuestion;
extern const BilingualText kNoRawFiles;
extern const BilingualText kOpenLogFailed;
extern const BilingualText kWriteLogFailed;
extern const BilingualText kFailedCount;
extern const BilingualText kFailedNames;
extern const BilingualText kAllConverted;
extern const BilingualText kSplitNotePrefix;
extern const BilingualText kSplitNoteSuffix;
extern const BilingualText kInit;
extern const BilingualText kStopped;

}  // namespace msg
}  // namespace quillfen
