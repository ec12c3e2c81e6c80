#include "beamora/FPoint.h"

CFPoint::CFPoint() : x(0.0), y(0.0), z(0.0) {}

CFPoint::CFPoint(double px, double py, double pz) : x(px), y(py), z(pz) {}
