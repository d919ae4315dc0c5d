// The three functions the pair judge calls on every window it weighs, to
// within 1e-12 of the library's and several times faster: each is a short
// polynomial after a reduction of its argument. Zeros, infinities and NaNs,
// which the judge hardly meets, go to the library's own.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace QuickMath {

// atan(t) / t as a polynomial in t^2, for |t| <= tan(pi / 8).
inline double AtanRatio(double u)
{
    return 0.9999999999989011 +
           u * (-0.3333333327850629 +
                u * (0.199999932016362 +
                     u * (-0.14285391754254687 +
                          u * (0.1110354397411203 +
                               u * (-0.0899330170674495 +
                                    u * (0.0697739277808675 + u * -0.03770868584276566))))));
}

// The angle of (x, y), as std::atan2 gives it.
inline double Atan2(double y, double x)
{
    const double Across = std::fabs(x);
    const double Up = std::fabs(y);
    const double Big = std::max(Across, Up);
    if (!(Big > 0) || !(Across + Up <= std::numeric_limits<double>::max()))
        return std::atan2(y, x);
    double t = std::min(Across, Up) / Big;
    double Base = 0;
    if (t > 0.41421356237309503) { // tan(pi / 8)
        t = (t - 1) / (t + 1);
        Base = M_PI / 4;
    }
    double Angle = Base + t * AtanRatio(t * t);
    if (Up > Across)
        Angle = M_PI / 2 - Angle;
    if (std::signbit(x))
        Angle = M_PI - Angle;
    return std::copysign(Angle, y);
}

// |sin(x)|: x brought within pi / 2 of a multiple of pi, where |sin| is the
// same, for the few tens of radians a window's gain asks for.
inline double AbsSin(double x)
{
    const double r = x - std::nearbyint(x * M_1_PI) * M_PI;
    const double v = r * r;
    const double Sin =
        r * (0.9999999999996321 +
             v * (-0.16666666666461716 +
                  v * (0.008333333320095131 +
                       v * (-0.00019841266632158577 +
                            v * (2.755694848931612e-06 +
                                 v * (-2.5030092625110222e-08 + v * 1.5408625143193246e-10))))));
    return std::fabs(Sin);
}

// log10(x): x = m 2^e with m within sqrt(2) of 1, read from x's bits, and
// log(m) = 2 atanh(s) with s = (m - 1) / (m + 1).
inline double Log10(double x)
{
    if (!(x >= std::numeric_limits<double>::min()) || !(x <= std::numeric_limits<double>::max()))
        return std::log10(x);
    uint64_t Bits;
    std::memcpy(&Bits, &x, sizeof Bits);
    int e = static_cast<int>(Bits >> 52) - 1023;
    Bits = (Bits & 0x000fffffffffffffu) | 0x3ff0000000000000u;
    double m;
    std::memcpy(&m, &Bits, sizeof m);
    if (m > M_SQRT2) {
        m *= 0.5;
        ++e;
    }
    const double s = (m - 1) / (m + 1);
    const double w = s * s;
    const double Atanh =
        s *
        (0.9999999999995899 +
         w * (0.3333333333942001 +
              w * (0.1999999756347432 +
                   w * (0.142860702248329 + w * (0.11087688837235432 + w * 0.0979549925910092)))));
    return (2 * Atanh + e * M_LN2) * (1 / M_LN10);
}

} // namespace QuickMath
