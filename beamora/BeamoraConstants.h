#pragma once
// Constants shared by the positioning classes and their callers.

namespace beamora {

// Angles cross the interface in degrees and are held in radians.
inline constexpr double kRadiansPerDegree = 0.01745329251994329;
inline constexpr double kDegreesPerRadian = 57.29577951308232;

// Depth written by CBeamora::PotitonOneBeam for a beam that has no position: a ray that is totally
// reflected before it reaches the next layer, a layer of the profile that cannot be traced (zero or
// negative thickness, a velocity that is not positive, a value that is not a number), an attitude
// without a real solution, or any input that is not finite. Far outside every plausible water depth,
// so callers that accept depths between 0.2 m and 1000 m reject it; the other outputs of such a beam
// are the transducer's easting and northing and an across-track distance of 0.
inline constexpr double kRejectedDepth = -1.0e6;

}  // namespace beamora
