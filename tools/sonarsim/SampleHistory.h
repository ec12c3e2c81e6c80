#pragma once
// Time series of sensor values as the receiving side keeps them, and its interpolation: with one
// sample that sample; otherwise the first sample j ≥ 1 later than the time τ and k = j − 1 bracket it,
// a sample within 0.000001 s of τ is taken as it is, anything else is linear between k and j (beyond
// the last sample the last two extrapolate). Headings cross north the short way. The simulator keeps
// the values exactly as decoded (single precision fields widened to double), so that its idea of the
// vessel at a ping is the receiver's.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

namespace sonarsim {

template <std::size_t N>
class SampleHistory {
  public:
    using Values = std::array<double, N>;

    void Add(double time, const Values& values) {
        times_.push_back(time);
        values_.push_back(values);
    }
    const Values& Value(std::size_t i) const { return values_[i]; }

    // Fraction f and bracketing indices for τ; f < 0 means "take sample k as it is".
    void Bracket(double tau, std::size_t& k, std::size_t& j, double& f) const {
        if (times_.size() == 1) {
            k = j = 0;
            f = -1;
            return;
        }
        auto it = std::upper_bound(times_.begin() + 1, times_.end(), tau);
        if (it == times_.end())
            --it;
        j = static_cast<std::size_t>(it - times_.begin());
        k = j - 1;
        if (std::fabs(tau - times_[k]) < 0.000001) {
            f = -1;
            return;
        }
        f = (tau - times_[k]) / (times_[j] - times_[k]);
    }

    Values At(double tau) const {
        std::size_t k = 0, j = 0;
        double f = 0;
        Bracket(tau, k, j, f);
        if (f < 0)
            return values_[k];
        Values out{};
        for (std::size_t i = 0; i < N; ++i) out[i] = values_[k][i] + (values_[j][i] - values_[k][i]) * f;
        return out;
    }

    // Heading (degrees) of channel `channel` at τ: across north the earlier or the later sample is
    // moved by 360° first, and a negative result is brought back into 0..360.
    double HeadingAt(double tau, std::size_t channel = 0) const {
        std::size_t k = 0, j = 0;
        double f = 0;
        Bracket(tau, k, j, f);
        if (f < 0)
            return values_[k][channel];
        double a = values_[k][channel];
        double b = values_[j][channel];
        if (a > 270 && b < 90) {
            a -= 360;
        } else if (a < 90 && b > 270) {
            b -= 360;
        }
        double h = a + (b - a) * f;
        if (h < 0)
            h += 360;
        return h;
    }

  private:
    std::vector<double> times_;
    std::vector<Values> values_;
};

}  // namespace sonarsim
