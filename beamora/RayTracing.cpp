#include "beamora/RayTracing.h"

#include <algorithm>
#include <cmath>
#include <limits>

// Inside a layer of gradient g the ray is a circular arc with dθ/dt = -g cos θ, which integrates to
//   tan((θ + π/2) / 2) = tan((θ_j + π/2) / 2) · exp(-g t),   tan((θ + π/2) / 2) = (1 + sin θ) / cos θ.
// The time to cross layer j is therefore
//   Δt = ln(c_{j+1} / c_j) / g - ln((1 + s_{j+1}) / (1 + s_j)) / g.
// The first term is the time of a vertical ray. For the second, with
//   z = (s_{j+1} - s_j) / (2 + s_j + s_{j+1}),   ln((1 + s_{j+1}) / (1 + s_j)) = 2 atanh(z),
// and s_{j+1} - s_j = -p² (c_{j+1}² - c_j²) / (s_j + s_{j+1}), so that with
//   Q = p² / ((s_j + s_{j+1}) (2 + s_j + s_{j+1})),   z = -Q (c_{j+1}² - c_j²),
// and (c_{j+1}² - c_j²) / g = h (c_j + c_{j+1}) for a layer of thickness h:
//   Δt = t_vertical + 2 Q h (c_j + c_{j+1}) · atanh(z) / z.
// The horizontal distance c_j (s_j - s_{j+1}) / (g cos θ_j) becomes in the same way
//   Δx = p h (c_j + c_{j+1}) / (s_j + s_{j+1}).
// Neither divides by g: a layer of constant velocity is the limit g → 0 of the same formulas
// (Δt = h / (c sin θ), Δx = h / tan θ), and thin layers lose no precision to cancellation. Per layer and
// ray this is one square root, one division and a short series, against an arc cosine, two tangents
// and a logarithm for the angle form.

// The lockstep kernel is built twice, for AVX2 with FMA and for plain x86-64, and the loader picks
// one. ThreadSanitizer's runtime cannot run the loader-time resolver of such a function, so sanitizer
// builds keep the plain version only.
#if defined(BEAMORA_NO_CLONES) || !defined(__x86_64__)
#define BEAMORA_VECTOR_CLONES
#else
#define BEAMORA_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#endif

namespace beamora::trace {
namespace {

// Layers whose gradient is not larger than this end their rays along straight lines.
constexpr double kMinGradient = 1e-7;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// atanh(z) / z = Σ w^k / (2k + 1) with w = z². |z| never exceeds 1/3 (s_j and s_{j+1} lie in [0, 1]).
constexpr double kAtanhSeries[] = {
    1.0,        1.0 / 3.0,  1.0 / 5.0,  1.0 / 7.0,  1.0 / 9.0,  1.0 / 11.0,
    1.0 / 13.0, 1.0 / 15.0, 1.0 / 17.0, 1.0 / 19.0, 1.0 / 21.0, 1.0 / 23.0,
    1.0 / 25.0, 1.0 / 27.0, 1.0 / 29.0, 1.0 / 31.0, 1.0 / 33.0,
};
// Terms that bring the first term left out below 2e-17: 4 terms while w < 1e-4 (w⁴/9), 8 while
// w < 1e-2 (w⁸/17), all 17 up to w = 1/9 (w¹⁷/35). Thin layers need the fewest.
constexpr double kFewTermsBelow = 1e-4;
constexpr double kMoreTermsBelow = 1e-2;
constexpr int kFewTerms = 4;
constexpr int kMoreTerms = 8;
constexpr int kAllTerms = 17;

double AtanhRatio(double w) {
    const int terms = w < kFewTermsBelow ? kFewTerms : w < kMoreTermsBelow ? kMoreTerms : kAllTerms;
    double sum = kAtanhSeries[terms - 1];
    for (int k = terms - 2; k >= 0; --k) sum = sum * w + kAtanhSeries[k];
    return sum;
}

// One ray across layer j from sin θ_j = s (s2 = s²): time, horizontal distance and sin θ_{j+1} (NaN when
// the ray cannot enter the next layer).
struct Crossing {
    double time;
    double horizontal;
    double sinNext;
};

Crossing Cross(const Profile& profile, int j, double p, double s, double s2) {
    const double p2 = p * p;
    const double step = profile.squareStep[j];
    const double sum2 = s2 - p2 * step;
    const double sinNext = sum2 >= 0.0 ? std::sqrt(sum2) : kNaN;
    const double sum = s + sinNext;
    const double inv = 1.0 / (sum * (2.0 + sum));
    const double q = p2 * inv;
    const double z = q * step;
    return {profile.verticalTime[j] + 2.0 * q * profile.thicknessSum[j] * AtanhRatio(z * z),
            p * profile.thicknessSum[j] * (2.0 + sum) * inv, sinNext};
}

// ---- Lockstep kernel ------------------------------------------------------------------------------
// Four rays per group, one lane each. The group walks down the layers together and stops when every ray
// has ended or been refused. The beams of a ping arrive in angle order, so the rays of a group end at
// similar depths and little work is wasted.

constexpr int kLanes = 4;
using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));
using LaneMask = decltype(Lanes{} < Lanes{});

// Helpers take and give vectors by reference: a vector passed by value would change the calling
// convention between the kernel's instruction set variants.
[[gnu::always_inline]] inline void SqrtLanes(const Lanes& x, Lanes& root) {
    for (int i = 0; i < kLanes; ++i) root[i] = __builtin_sqrt(x[i]);
}

[[gnu::always_inline]] inline bool AnyLane(const LaneMask& m) {
    return (m[0] | m[1] | m[2] | m[3]) != 0;
}

template <int Terms>
[[gnu::always_inline]] inline void SeriesLanes(const Lanes& w, Lanes& sum) {
    sum = Lanes{} + kAtanhSeries[Terms - 1];
    for (int k = Terms - 2; k >= 0; --k) sum = sum * w + kAtanhSeries[k];
}

// One group of up to four rays (first .. first + n - 1) with `Terms` terms of the series. With the short
// series it returns whether a ray met a layer that needs more (the caller then runs the group again
// with all of them); with all terms it returns false.
template <int Terms>
[[gnu::always_inline]] inline bool CrossGroup(const Profile& profile, int first, int n, const double* p,
                                              const double* sinStart, const double* time,
                                              Progress* progress) {
    const double* const squareStep = profile.squareStep;
    const double* const thicknessSum = profile.thicknessSum;
    const double* const verticalTime = profile.verticalTime;
    const int layers = profile.layers;

    // Unused lanes get a vertical ray that is never active.
    Lanes rayP{};
    Lanes rayTime{};
    Lanes s = Lanes{} + 1.0;
    LaneMask active{};
    for (int i = 0; i < n; ++i) {
        rayP[i] = p[first + i];
        rayTime[i] = time[first + i];
        s[i] = sinStart[first + i];
        active[i] = -1;
    }
    const Lanes p2 = rayP * rayP;
    Lanes s2 = s * s;
    Lanes elapsed{};
    Lanes distance{};
    LaneMask needsMoreTerms{};

    // The recurrence runs on for every lane, so that the next layer never waits for this one's square
    // root, division and comparisons; a lane that stops writes its progress as it was at the top of
    // the layer where it stopped. That happens once per ray, on a branch that is rarely taken.
    for (int j = 0; j < layers; ++j) {
        const double step = squareStep[j];
        const double hs = thicknessSum[j];
        const Lanes s2Next = s2 - p2 * step;
        Lanes sNext;
        SqrtLanes(s2Next, sNext);
        const Lanes sum = s + sNext;
        const Lanes inv = 1.0 / (sum * (2.0 + sum));
        const Lanes q = p2 * inv;
        const Lanes z = q * step;
        const Lanes w = z * z;
        Lanes series;
        SeriesLanes<Terms>(w, series);
        if constexpr (Terms < kAllTerms) {
            needsMoreTerms |= active & (w >= kFewTermsBelow);
        }
        const Lanes elapsedNext = elapsed + (verticalTime[j] + 2.0 * q * hs * series);

        // Total reflection (s² < 0) or a layer that cannot be traced (NaN) refuses the ray before
        // asking whether it ends in this layer, as a ray that is reflected has no crossing time. (A
        // crossing time that is not a number never ends the ray; below the last point it is refused.)
        const LaneMask refused = ~(s2Next >= 0.0);
        const LaneMask stops = active & (refused | (rayTime < elapsedNext));
        if (AnyLane(stops)) {
            for (int i = 0; i < n; ++i) {
                if (stops[i] != 0) {
                    progress[first + i] = Progress{refused[i] != 0 ? -1 : j, elapsed[i], distance[i], s[i]};
                }
            }
            active &= ~stops;
            if (!AnyLane(active)) {
                return AnyLane(needsMoreTerms);
            }
        }
        elapsed = elapsedNext;
        distance = distance + rayP * (hs * (2.0 + sum) * inv);
        s2 = s2Next;
        s = sNext;
    }
    // Rays still travelling below the last point.
    for (int i = 0; i < n; ++i) {
        if (active[i] != 0) {
            progress[first + i] = Progress{layers, elapsed[i], distance[i], s[i]};
        }
    }
    return AnyLane(needsMoreTerms);
}

// One version for processors with AVX2 and FMA, one for any x86-64; chosen when the library loads.
BEAMORA_VECTOR_CLONES void CrossLanes(const Profile& profile, int count,
                                                                            const double* p,
                                                                            const double* sinStart,
                                                                            const double* time,
                                                                            Progress* progress) {
    for (int first = 0; first < count; first += kLanes) {
        const int n = std::min(kLanes, count - first);
        if (CrossGroup<kFewTerms>(profile, first, n, p, sinStart, time, progress)) {
            CrossGroup<kAllTerms>(profile, first, n, p, sinStart, time, progress);
        }
    }
}

}  // namespace

LayerTerms MakeLayer(double z0, double c0, double z1, double c1) {
    const double thickness = z1 - z0;
    const LayerTerms refused{kNaN, kNaN, kNaN, kNaN, kNaN};
    if (!(thickness > 0.0 && c0 > 0.0 && c1 > 0.0 && std::isfinite(thickness) && std::isfinite(c0) &&
          std::isfinite(c1))) {
        return refused;
    }
    const double step = c1 - c0;
    // A vertical ray takes ln(c1 / c0) / g = (h / c0) · ln(1 + x) / x with x = (c1 - c0) / c0: exact
    // for thin layers and h / c0 without a gradient.
    const double x = step / c0;
    const LayerTerms terms{step / thickness, c1 / c0,
                           x != 0.0 ? thickness / c0 * (std::log1p(x) / x) : thickness / c0, step * (c0 + c1),
                           thickness * (c0 + c1)};
    if (!(std::isfinite(terms.gradient) && std::isfinite(terms.ratio) && std::isfinite(terms.verticalTime) &&
          std::isfinite(terms.squareStep) && std::isfinite(terms.thicknessSum))) {
        return refused;
    }
    return terms;
}

void CrossLayers(const Profile& profile, int count, const double* p, const double* sinStart,
                 const double* time, Progress* progress) {
    CrossLanes(profile, count, p, sinStart, time, progress);
}

// The end point inside layer j, a time τ after entering it at sin θ_j = s, cos θ_j = p c_j. With
// T = (1 + s) / cos θ_j and E = exp(-g τ) the arc gives tan((θ + π/2) / 2) = T E; the velocity there is
// c_j cos θ / cos θ_j, the depth below the layer top (c - c_j) / g and the horizontal distance
// c_j (s - sin θ) / (g cos θ_j). Written with a = 1 + s, E - 1 = expm1(-g τ) = -g τ M and
//   D = cos² θ_j + a² E²:
//   depth      = c_j τ M a (2 s + a (E - 1)) / D,
//   horizontal = c_j τ M a cos θ_j (1 + E) / D,
// which again do not divide by g and tend to the straight ray (c_j τ s, c_j τ cos θ_j) as g → 0.
bool FinishRay(const Profile& profile, double p, double time, const Progress& progress, RayEnd& end) {
    const int j = progress.layer;
    if (j < 0) {
        return false;
    }
    const double c = profile.velocity[j];
    const double cosTop = p * c;
    const double s = progress.sinTop;
    const double tau = time - progress.elapsed;
    end.timeInLayer = tau;
    end.layerTime = 0.0;
    end.layerHorizontal = 0.0;
    const double g = j < profile.layers ? profile.gradient[j] : 0.0;
    if (j < profile.layers && std::fabs(g) > kMinGradient) {
        const double u = -g * tau;
        const double em1 = std::expm1(u);
        const double m = u != 0.0 ? em1 / u : 1.0;
        const double a = 1.0 + s;
        const double e = 1.0 + em1;
        const double d = cosTop * cosTop + a * a * e * e;
        end.depth = c * tau * m * a * (2.0 * s + a * em1) / d + profile.relDepth[j];
        end.horizontal = progress.distance + std::fabs(c * tau * m * a * cosTop * (1.0 + e) / d);
        end.velocityEnd = 2.0 * a * e * c / d;
        end.sinEnd = (a * a * e * e - cosTop * cosTop) / d;
        end.pathInLayer = 0.0;
    } else {
        // A constant-velocity layer, or on below the last point with its velocity and angle. Exactly at
        // the last point (τ = 0) the ray ends there; before it (only when the times are not numbers)
        // it has no end.
        if (j == profile.layers && !(tau >= 0.0)) {
            return false;
        }
        const double path = tau * c;
        end.depth = s * path + profile.relDepth[j];
        end.horizontal = progress.distance + cosTop * path;
        end.velocityEnd = c;
        end.sinEnd = s;
        end.pathInLayer = path;
    }
    if (j < profile.layers) {
        const Crossing whole = Cross(profile, j, p, s, s * s);
        end.layerTime = whole.time;
        end.layerHorizontal = whole.horizontal;
    }
    return true;
}

// A vertical ray crosses layer j in its vertical time; inside a gradient layer its velocity grows as
// c_j exp(g t), so it ends c_j (exp(g τ) - 1) / g below the layer top.
bool TraceVertical(const Profile& profile, double time, RayEnd& end) {
    double elapsed = 0.0;
    end.horizontal = 0.0;
    end.sinEnd = 1.0;
    end.layerTime = 0.0;
    end.layerHorizontal = 0.0;
    for (int j = 0; j < profile.layers; ++j) {
        const double g = profile.gradient[j];
        if (std::isnan(g)) {
            return false;
        }
        const double dt = profile.verticalTime[j];
        const double c = profile.velocity[j];
        if (time < elapsed + dt) {
            const double tau = time - elapsed;
            end.timeInLayer = tau;
            end.layerTime = dt;
            if (std::fabs(g) > kMinGradient) {
                end.depth = c * std::expm1(g * tau) / g + profile.relDepth[j];
                end.velocityEnd = c * std::exp(g * tau);
                end.pathInLayer = 0.0;
            } else {
                end.pathInLayer = tau * c;
                end.depth = end.pathInLayer + profile.relDepth[j];
                end.velocityEnd = c;
            }
            return true;
        }
        if (time == elapsed + dt) {
            end.depth = profile.relDepth[j + 1];
            end.velocityEnd = profile.velocity[j + 1];
            end.timeInLayer = dt;
            end.pathInLayer = 0.0;
            end.layerTime = dt;
            return true;
        }
        elapsed += dt;
    }
    if (!(time > elapsed)) {
        return false;
    }
    const int last = profile.layers;
    end.timeInLayer = time - elapsed;
    end.pathInLayer = end.timeInLayer * profile.velocity[last];
    end.depth = end.pathInLayer + profile.relDepth[last];
    end.velocityEnd = profile.velocity[last];
    return true;
}

}  // namespace beamora::trace
