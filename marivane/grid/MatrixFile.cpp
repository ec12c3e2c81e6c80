#include "marivane/grid/MatrixFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "marivane/grid/ReplaceFile.h"
#include "platform/Binary.h"
#include "platform/Message.h"
#include "platform/NumberText.h"

namespace marivane {
namespace {

bool AllFinite(const MatrixHeader& h) {
    for (double v : {h.baseX, h.baseY, h.length, h.width, h.cellLength, h.cellWidth, h.rotation}) {
        if (!std::isfinite(v))
            return false;
    }
    return true;
}

// Whole part of a / b as u32, or nothing.
std::optional<std::uint32_t> WholeQuotient(double a, double b) {
    const double q = std::trunc(a / b);
    if (!(q >= 0.0) || q > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(q);
}

}  // namespace

std::array<std::uint8_t, kMatrixFileHeaderSize> EncodeMatrixHeader(const MatrixHeader& h) {
    std::vector<std::uint8_t> out;
    out.reserve(kMatrixFileHeaderSize);
    platform::ByteWriter w(out);
    for (double v : {h.baseX, h.baseY, h.length, h.width, h.cellLength, h.cellWidth, h.rotation}) w.Write(v);
    w.Write(h.rows);
    w.Write(h.columns);
    for (const MatrixPoint& p : h.outline) {
        w.Write(p.x);
        w.Write(p.y);
    }
    w.WriteBytes(h.reserved.data(), h.reserved.size());
    std::array<std::uint8_t, kMatrixFileHeaderSize> bytes{};
    std::copy(out.begin(), out.end(), bytes.begin());
    return bytes;
}

MatrixHeader DecodeMatrixHeader(std::span<const std::uint8_t, kMatrixFileHeaderSize> bytes) {
    platform::ByteReader r(bytes);
    MatrixHeader h;
    for (double* v : {&h.baseX, &h.baseY, &h.length, &h.width, &h.cellLength, &h.cellWidth, &h.rotation})
        r.Read(*v);
    r.Read(h.rows);
    r.Read(h.columns);
    for (MatrixPoint& p : h.outline) {
        r.Read(p.x);
        r.Read(p.y);
    }
    r.ReadBytes(h.reserved.data(), h.reserved.size());
    return h;
}

MatrixGeometry CheckMatrixGeometry(const MatrixHeader& h) {
    if (!AllFinite(h))
        return MatrixGeometry::NotFinite;
    // The far corner must lie beyond the base point in both axes, as computed from the two.
    if (!((h.baseX + h.length) - h.baseX >= 1e-9) || !((h.baseY + h.width) - h.baseY >= 1e-9))
        return MatrixGeometry::Empty;
    if (!(h.cellLength >= 1e-9) || !(h.cellWidth >= 1e-9) || h.rows == 0 || h.columns == 0)
        return MatrixGeometry::Empty;
    if (static_cast<std::uint64_t>(h.rows) * h.columns > kMaxMatrixCells)
        return MatrixGeometry::TooManyCells;
    return MatrixGeometry::Ok;
}

std::optional<RowsColumns> ComputeRowsColumns(const MatrixHeader& h) {
    const auto rows = WholeQuotient(h.width, h.cellWidth);
    const auto columns = WholeQuotient(h.length, h.cellLength);
    if (!rows || !columns)
        return std::nullopt;
    return RowsColumns{*rows, *columns};
}

MatrixSizeFigures ComputeSizeFigures(const MatrixHeader& h) {
    const double cells = std::trunc((h.length * h.width) / (h.cellLength * h.cellWidth));
    MatrixSizeFigures figures;
    if (!(cells >= 0.0 && cells <= static_cast<double>(kMaxMatrixCells)))
        return figures;
    figures.withinLimit = true;
    figures.cells = static_cast<std::int32_t>(cells);
    figures.sizeMB =
        (static_cast<double>(figures.cells) * kMatrixFileCellSize + kMatrixFileHeaderSize) / 1048576.0;
    return figures;
}

std::string CellsFigureText(const MatrixSizeFigures& figures) {
    const std::string number = std::to_string(figures.cells);
    return (platform::MessageLanguageEnglish() ? "Cells number:" : "单元格数：") + number;
}

std::string SizeFigureText(const MatrixSizeFigures& figures) {
    return platform::FormatDouble(platform::MessageLanguageEnglish() ? "Size(MB):%.2f" : "大小(MB):%.2f",
                                  figures.sizeMB);
}

bool CheckCellCount(const MatrixHeader& header) {
    if (ComputeSizeFigures(header).withinLimit)
        return true;
    platform::ShowBilingualMessage(kMatrixTooManyCellsZh, kMatrixTooManyCellsEn, platform::kBoxWarning);
    return false;
}

bool WriteEmptyMatrixFile(const std::filesystem::path& path, const MatrixHeader& header,
                          std::uint64_t cells) {
    const auto bytes = EncodeMatrixHeader(header);
    return ReplaceFileWith(path, [&](std::FILE* f) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
            return false;
        static const std::vector<std::uint8_t> zeros(1 << 16, 0);
        std::uint64_t left = cells * kMatrixFileCellSize;
        while (left > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
            if (std::fwrite(zeros.data(), 1, n, f) != n)
                return false;
            left -= n;
        }
        return true;
    });
}

bool CreateMatrixFile(const std::filesystem::path& path, MatrixHeader& header) {
    MatrixHeader made = header;
    made.reserved.fill(0);
    const auto rc = ComputeRowsColumns(made);
    bool ok = rc.has_value();
    if (ok) {
        made.rows = rc->rows;
        made.columns = rc->columns;
        ok = CheckMatrixGeometry(made) == MatrixGeometry::Ok &&
             WriteEmptyMatrixFile(path, made, static_cast<std::uint64_t>(made.rows) * made.columns);
    }
    if (!ok) {
        platform::ShowBilingualMessage(kMatrixSaveFailedZh, kMatrixSaveFailedEn, platform::kBoxError);
        return false;
    }
    header = made;
    return true;
}

std::optional<MatrixHeader> ReadMatrixHeader(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb+");
    if (f == nullptr)
        return std::nullopt;
    std::array<std::uint8_t, kMatrixFileHeaderSize> bytes{};
    const bool ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!ok)
        return std::nullopt;
    return DecodeMatrixHeader(bytes);
}

}  // namespace marivane
