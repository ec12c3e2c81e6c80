#include "beamora/SvpData.h"

CSvpData::CSvpData() : velocity(0.0), depth(0.0), flag(1) {}
