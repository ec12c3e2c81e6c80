#pragma once
// Ray tracing through a sound velocity profile whose velocity varies linearly with depth inside each
// layer. Internal to the library (hidden like everything but the four exported classes): CBeamora
// builds the layer table from its processed profile and traces one ray or a whole ping's rays with it.
//
// A ray is described by its grazing angle θ (from the horizontal, positive down). Snell's law keeps
// p = cos θ / c constant along it, so the tracer carries p and s = sin θ: entering layer j at s_j the
// ray leaves it at s_{j+1}² = s_j² - p² (c_{j+1}² - c_j²), and it cannot enter the next layer at all
// (total reflection) when that is negative.

namespace beamora::trace {

// The processed profile as the tracer reads it. Per point: velocity and depth below point 0. Per
// layer j (between points j and j + 1): the terms of MakeLayer.
struct Profile {
    const double* velocity;
    const double* relDepth;
    const double* gradient;
    const double* verticalTime;
    const double* squareStep;
    const double* thicknessSum;
    int layers;  // points - 1 (with none, rays go straight on from point 0)
};

// The terms of one layer between (z0, c0) and (z1, c1): velocity gradient, ratio c1 / c0, time of a
// vertical ray through it, c1² - c0² and (z1 - z0)(c0 + c1). A layer that cannot be traced (thickness
// or a velocity not positive, a value not finite) has NaN in every term.
struct LayerTerms {
    double gradient;
    double ratio;
    double verticalTime;
    double squareStep;
    double thicknessSum;
};
LayerTerms MakeLayer(double z0, double c0, double z1, double c1);

// How far a ray got through the layers before its time ran out.
struct Progress {
    int layer;        // -1: refused; j < layers: ends inside layer j; layers: ends below the last point
    double elapsed;   // time at the top of that layer (s)
    double distance;  // horizontal distance there (m, unsigned)
    double sinTop;    // sine of the grazing angle there
};

// Runs `count` oblique rays through the layers in lockstep: ray i leaves point 0 with ray parameter
// p[i] = cos θ0 / c0 and sin θ0 = sinStart[i] (not negative) and travels for time[i] seconds.
void CrossLayers(const Profile& profile, int count, const double* p, const double* sinStart,
                 const double* time, Progress* progress);

// Where a ray ends, with what the tracer learned on the way (for inspection).
struct RayEnd {
    double depth;            // below point 0
    double horizontal;       // from the start, unsigned unless the time is negative
    double velocityEnd;      // velocity at the end point
    double sinEnd;           // sine of the grazing angle there
    double timeInLayer;      // time spent in the layer where the ray ends
    double pathInLayer;      // straight path length in that layer, 0 in a gradient layer
    double layerTime;        // time to cross that whole layer (0 below the last point)
    double layerHorizontal;  // horizontal distance covered crossing it
};

// The end point of an oblique ray from its progress. False when the ray was refused.
bool FinishRay(const Profile& profile, double p, double time, const Progress& progress, RayEnd& end);

// A vertical ray (no horizontal distance). False when it meets a layer that cannot be traced.
bool TraceVertical(const Profile& profile, double time, RayEnd& end);

}  // namespace beamora::trace
