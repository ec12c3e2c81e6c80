#pragma once
// Survey lines and borders plugged into a project session: planned line files load as their survey
// lines (listed in the project tree by name), border files as their outlines.

#include <vector>

#include "marivane/lines/PlanPoint.h"
#include "marivane/lines/SurveyLines.h"
#include "marivane/shell/ProjectSession.h"

namespace marivane {

// The survey lines of a loaded planned line file.
class LineFileContent final : public FileContent {
  public:
    explicit LineFileContent(std::vector<SurveyLine> l) : lines(std::move(l)) {}
    std::size_t ItemCount() const override { return lines.size(); }
    std::string ItemName(std::size_t index) const override {
        return index < lines.size() ? lines[index].name : std::string();
    }
    std::vector<SurveyLine> lines;
};

// The outline of a loaded border file.
class BorderFileContent final : public FileContent {
  public:
    explicit BorderFileContent(std::vector<PlanPoint> b) : border(std::move(b)) {}
    std::vector<PlanPoint> border;
};

class LinePlugin {
  public:
    // Registers the planned line and border loaders with the session.
    explicit LinePlugin(ProjectSession& session);
};

}  // namespace marivane
