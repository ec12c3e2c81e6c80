#include "tools/sonarsim/SeaFloor.h"

#include <cmath>

namespace sonarsim {

double SeaFloor::Depth(double east, double north) const {
    const double plane =
        p_.depthAtOrigin + p_.slopeEast * (east - p_.originEast) + p_.slopeNorth * (north - p_.originNorth);
    if (p_.mountHeight == 0.0 || p_.mountWidth <= 0.0)
        return plane;
    const double de = east - p_.mountEast;
    const double dn = north - p_.mountNorth;
    return plane - p_.mountHeight * std::exp(-(de * de + dn * dn) / (2.0 * p_.mountWidth * p_.mountWidth));
}

}  // namespace sonarsim
