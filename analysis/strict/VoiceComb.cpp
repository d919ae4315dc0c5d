#include "VoiceComb.h"

#include "Keypad.h"

#include <algorithm>
#include <cmath>

void TVoiceComb::Take(const float *Samples)
{
    float *Into = Recent + Newest;
    if (Samples != nullptr)
        std::copy(Samples, Samples + TToneBank::SubBlock, Into);
    else
        std::fill(Into, Into + TToneBank::SubBlock, 0.0f);
    Newest = (Newest + TToneBank::SubBlock) % Kept;
}

void TVoiceComb::Reset()
{
    std::fill(std::begin(Recent), std::end(Recent), 0.0f);
    Newest = 0;
}

double TVoiceComb::Power(const float *Samples, int Length, double Frequency)
{
    const double Coefficient = 2 * std::cos(2 * M_PI * Frequency / TToneBank::Rate);
    double Before = 0;
    double BeforeThat = 0;
    for (int n = 0; n < Length; ++n) {
        const double Now = Samples[n] + Coefficient * Before - BeforeThat;
        BeforeThat = Before;
        Before = Now;
    }
    return Before * Before + BeforeThat * BeforeThat - Coefficient * Before * BeforeThat;
}

// The window's cosine turned on step by step.
void TVoiceComb::Windowed(float *Out, int Length) const
{
    const double Turn = 2 * M_PI / Length;
    const double TurnCos = std::cos(Turn);
    const double TurnSin = std::sin(Turn);
    double Cos = 1;
    double Sin = 0;
    int From = (Newest - Length + Kept) % Kept;
    for (int n = 0; n < Length; ++n) {
        Out[n] = static_cast<float>((0.5 - 0.5 * Cos) * Recent[From]);
        From = From + 1 == Kept ? 0 : From + 1;
        const double NextCos = Cos * TurnCos - Sin * TurnSin;
        Sin = Sin * TurnCos + Cos * TurnSin;
        Cos = NextCos;
    }
}

bool TVoiceComb::Voiced(int Low, int High, int Length) const
{
    Length = std::clamp(Length, 1, Kept);
    const double LowHz = DtmfFrequencies[Low];
    const double HighHz = DtmfFrequencies[High];
    float Samples[Kept];
    double Weaker = -1;
    for (int n = 2; LowHz / n >= MinPitch; ++n) {
        const int m = static_cast<int>(std::lround(HighHz * n / LowHz));
        if (LowHz / n > MaxPitch || m <= n || m > MostHarmonic ||
            std::fabs(HighHz - m * LowHz / n) > Fit * HighHz)
            continue;
        if (Weaker < 0) {
            Windowed(Samples, Length);
            Weaker = std::min(Power(Samples, Length, LowHz), Power(Samples, Length, HighHz));
        }
        const double Pitch = (LowHz + HighHz) / (n + m);
        int Loud = 0;
        int LoudBetween = 0;
        for (int k = n - 1; k <= m + 1; ++k) {
            if (k == n || k == m)
                continue;
            const double Each = Power(Samples, Length, k * Pitch);
            Loud += Each >= AroundPower * Weaker;
            LoudBetween += k > n && k < m && Each >= BetweenPower * Weaker;
        }
        if (Loud >= Around || (m - n > 2 && LoudBetween == m - n - 1))
            return true;
    }
    return false;
}
