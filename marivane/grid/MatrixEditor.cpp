#include "marivane/grid/MatrixEditor.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "marivane/grid/MatrixOutline.h"
#include "marivane/grid/ReplaceFile.h"
#include "platform/Message.h"
#include "platform/NumberText.h"
#include "platform/Profile.h"

namespace marivane {
namespace {

bool Positive(double v) {
    return std::isfinite(v) && v > 0.0;
}

// Whether `size` and `cell` (when both are set) give at least one row or column.
bool AtLeastOneCell(double size, double cell) {
    if (!(size > 0.0) || !(cell > 0.0))
        return true;
    return std::trunc(size / cell) >= 1.0;
}

bool HeaderIsNumbers(const MatrixHeader& h) {
    for (double v : {h.baseX, h.baseY, h.length, h.width, h.cellLength, h.cellWidth, h.rotation}) {
        if (!std::isfinite(v))
            return false;
    }
    for (const MatrixPoint& p : h.outline) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return false;
    }
    return true;
}

void ShowWithPath(const char* zh, const char* en, const std::filesystem::path& path, unsigned box) {
    platform::ShowBilingualMessage(platform::FormatMessageText(zh, path.string()),
                                   platform::FormatMessageText(en, path.string()), box);
}

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    if (!ec)
        return same;
    return a.lexically_normal() == b.lexically_normal();
}

bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(from.c_str(), "rb"), &std::fclose);
    if (!in)
        return false;
    return ReplaceFileWith(to, [&](std::FILE* out) {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
            if (n > 0 && std::fwrite(buffer.data(), 1, n, out) != n)
                return false;
            if (n < buffer.size())
                return std::ferror(in.get()) == 0;
        }
    });
}

}  // namespace

MatrixEditor::MatrixEditor() {
    Clear();
}

void MatrixEditor::Clear() {
    header_ = MatrixHeader{};
    header_.cellLength = kStartCellSize;
    header_.cellWidth = kStartCellSize;
}

bool MatrixEditor::TakeField(MatrixField field, std::string_view text) {
    const double v = platform::LeadingDouble(text);
    MatrixHeader& h = header_;
    switch (field) {
        case MatrixField::BaseX:
            SetOutlineBase(h, v, h.baseY);
            return true;
        case MatrixField::BaseY:
            SetOutlineBase(h, h.baseX, v);
            return true;
        case MatrixField::Rotation:
            return SetOutlineRotation(h, v);
        case MatrixField::Length:
            if (!Positive(v) || !AtLeastOneCell(v, h.cellLength) || !SetOutlineLength(h, v))
                return false;
            break;
        case MatrixField::Width:
            if (!Positive(v) || !AtLeastOneCell(v, h.cellWidth) || !SetOutlineWidth(h, v))
                return false;
            break;
        case MatrixField::CellLength:
            if (!Positive(v) || !AtLeastOneCell(h.length, v))
                return false;
            h.cellLength = v;
            break;
        case MatrixField::CellWidth:
            if (!Positive(v) || !AtLeastOneCell(h.width, v))
                return false;
            h.cellWidth = v;
            break;
    }
    CheckCellCount(h);
    return true;
}

std::string MatrixEditor::FieldText(MatrixField field) const {
    const MatrixHeader& h = header_;
    switch (field) {
        case MatrixField::BaseX:
            return platform::FormatDouble("%.2f", h.baseX);
        case MatrixField::BaseY:
            return platform::FormatDouble("%.2f", h.baseY);
        case MatrixField::Length:
            return platform::FormatDouble("%.1f", h.length);
        case MatrixField::Width:
            return platform::FormatDouble("%.1f", h.width);
        case MatrixField::CellLength:
            return platform::FormatDouble("%.1f", h.cellLength);
        case MatrixField::CellWidth:
            return platform::FormatDouble("%.1f", h.cellWidth);
        case MatrixField::Rotation:
            return platform::FormatDouble("%.2f", h.rotation);
    }
    return {};
}

std::string MatrixEditor::RotationTextAfterDrag() const {
    return platform::FormatDouble("%.2f", header_.rotation + 1e-12);
}

std::vector<MatrixField> MatrixEditor::OnOutlineNotification(int code) {
    switch (code) {
        case kOutlineBaseMoved:
            return {MatrixField::BaseX, MatrixField::BaseY};
        case kOutlineLengthChanged:
            return {MatrixField::Length};
        case kOutlineRotated:
            return {MatrixField::Rotation};
        case kOutlineWidthChanged:
            return {MatrixField::Width};
        case kOutlineLengthReleased:
        case kOutlineWidthReleased:
            CheckCellCount(header_);
            return {};
        default:
            return {};
    }
}

void MatrixEditor::New() {
    path_.clear();
    Clear();
}

MatrixEditor::OpenResult MatrixEditor::Open(const std::filesystem::path& path) {
    if (!path_.empty() && path == path_)
        return OpenResult::AlreadyCurrent;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        ShowWithPath(kMatrixPathErrorZh, kMatrixPathErrorEn, path, platform::kBoxError);
        return OpenResult::Missing;
    }
    const auto header = ReadMatrixHeader(path);
    if (!header || !HeaderIsNumbers(*header)) {
        ShowWithPath(kMatrixReadFailedZh, kMatrixReadFailedEn, path, platform::kBoxError);
        return OpenResult::Failed;
    }
    header_ = *header;
    path_ = path;
    return OpenResult::Opened;
}

MatrixEditor::SaveResult MatrixEditor::Save(const std::filesystem::path& target) {
    if (!CheckCellCount(header_))
        return SaveResult::Refused;
    const auto rc = ComputeRowsColumns(header_);
    if (!rc || rc->rows == 0 || rc->columns == 0) {
        platform::ShowBilingualMessage(kMatrixNoCellsZh, kMatrixNoCellsEn, platform::kBoxWarning);
        return SaveResult::Refused;
    }
    if (!CreateMatrixFile(target, header_))
        return SaveResult::Failed;
    path_ = target;
    return SaveResult::Saved;
}

std::filesystem::path WithMatrixExtension(const std::filesystem::path& name) {
    const std::string text = name.string();
    constexpr std::string_view kExtension = ".mtrx";
    if (text.size() >= kExtension.size() &&
        text.compare(text.size() - kExtension.size(), kExtension.size(), kExtension) == 0)
        return name;
    return std::filesystem::path(text + std::string(kExtension));
}

MatrixRegistration RegisterMatrixFile(const std::filesystem::path& file,
                                      const std::filesystem::path& matrixFolder,
                                      const std::filesystem::path& projectFile,
                                      std::filesystem::path& registered) {
    const std::filesystem::path source = file;  // `registered` may be the same object
    const std::filesystem::path name = source.filename();
    MatrixRegistration result = MatrixRegistration::InFolder;
    registered = matrixFolder / name;
    if (!SameFolder(source.parent_path(), matrixFolder)) {
        std::error_code ec;
        if (std::filesystem::exists(registered, ec) &&
            platform::ShowBilingualMessage(kMatrixReplaceZh, kMatrixReplaceEn, platform::kBoxConfirm) !=
                platform::MessageAnswer::Yes)
            return MatrixRegistration::Declined;
        if (!CopyFileReplacing(source, registered)) {
            platform::ShowBilingualMessage(kMatrixSaveFailedZh, kMatrixSaveFailedEn, platform::kBoxError);
            return MatrixRegistration::CopyFailed;
        }
        result = MatrixRegistration::Copied;
    } else {
        registered = source;
    }
    if (!platform::WriteProfileString(projectFile, "MatrixFolder", name.string(), "true"))
        return MatrixRegistration::ProjectFileFailed;
    return result;
}

}  // namespace marivane
