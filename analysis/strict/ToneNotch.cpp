#include "ToneNotch.h"

#include "ToneBank.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

namespace {

// Under this, a state that decays in silence is taken as zero: far under
// the quietest sub-block the bank analyses, and never a denormal.
constexpr double Faded = 1e-9;

} // namespace

TToneNotch::TSection TToneNotch::Section(double Frequency)
{
    const double w0 = 2 * M_PI * Frequency / TToneBank::Rate;
    const double Alpha = std::sin(w0) / (2 * Q);
    TSection Each;
    Each.Gain = 1 / (1 + Alpha);
    Each.Turn = -2 * std::cos(w0) * Each.Gain;
    Each.A2 = (1 - Alpha) / (1 + Alpha);
    return Each;
}

TToneNotch::TToneNotch()
{
    for (int i = 0; i < Notches; ++i)
        Sections[i] = Section(Frequencies[i]);
}

void TToneNotch::Process(const float *In, float *Out)
{
    if (Part == 0)
        Judge();
    double Removed = 0;
    if (Trial > 0 || IsSteady) {
        Running = true;
        Trial = std::max(0, Trial - 1);
        Removed = Filter(In, Out);
    } else if (Running) {
        Rest();
    }
    // Four sums side by side, so that the additions need not wait for each
    // other.
    float Quarter[4] = {};
    for (int n = 0; n < TToneBank::SubBlock; n += 4)
        for (int q = 0; q < 4; ++q)
            Quarter[q] += In[n + q] * In[n + q];
    Parts[Part] = (Quarter[0] + Quarter[1]) + (Quarter[2] + Quarter[3]);
    Taken[Part] = Removed;
    Part = (Part + 1) % TToneBank::SubBlocksPerWindow;
}

void TToneNotch::Judge()
{
    Whole[Newest] = std::accumulate(std::begin(Parts), std::end(Parts), 0.0);
    TakenOut[Newest] = std::accumulate(std::begin(Taken), std::end(Taken), 0.0);
    Newest = (Newest + 1) % Windows;
    if (Holds(Whole, 0, MinEnergy, MaxSoundSpread))
        Trial = TrialBlocks;
    // Once taken, the output is taken for as long as what the notches take
    // out holds steady: a digit over the tone adds nothing to it.
    IsSteady = Running && Holds(TakenOut, IsSteady ? 0 : MinTakenShare, 0, MaxSpread);
}

bool TToneNotch::Holds(const double *Measure, double Share, double Least, double Spread) const
{
    const auto Range = std::minmax_element(Measure, Measure + Windows);
    bool Most = true;
    for (int w = 0; w < Windows; ++w)
        Most = Most && Measure[w] >= Share * Whole[w];
    return Most && *Range.first > Least && *Range.second <= Spread * *Range.first;
}

double TToneNotch::Filter(const float *In, float *Out)
{
    constexpr int Count = TToneBank::SubBlock;
    if (Resting && std::all_of(In, In + Count, [](float x) { return x == 0; })) {
        std::fill(Out, Out + Count, 0.0f);
        return 0;
    }
    // The state in locals, which the compiler keeps in registers.
    double S1[Notches];
    double S2[Notches];
    std::copy(std::begin(State1), std::end(State1), S1);
    std::copy(std::begin(State2), std::end(State2), S2);
    double Removed = 0;
    for (int n = 0; n < Count; ++n) {
        double x = In[n];
        for (int i = 0; i < Notches; ++i) {
            const TSection &Each = Sections[i];
            const double y = Each.Gain * x + S1[i];
            S1[i] = Each.Turn * (x - y) + S2[i];
            S2[i] = Each.Gain * x - Each.A2 * y;
            x = y;
        }
        Out[n] = static_cast<float>(x);
        Removed += (In[n] - x) * (In[n] - x);
    }
    const auto Faint = [](double v) { return std::fabs(v) < Faded; };
    Resting = std::all_of(S1, S1 + Notches, Faint) && std::all_of(S2, S2 + Notches, Faint);
    if (Resting) {
        std::fill(S1, S1 + Notches, 0.0);
        std::fill(S2, S2 + Notches, 0.0);
    }
    std::copy(S1, S1 + Notches, State1);
    std::copy(S2, S2 + Notches, State2);
    return Removed;
}

void TToneNotch::Rest()
{
    std::fill(std::begin(State1), std::end(State1), 0.0);
    std::fill(std::begin(State2), std::end(State2), 0.0);
    std::fill(std::begin(Taken), std::end(Taken), 0.0);
    std::fill(std::begin(TakenOut), std::end(TakenOut), 0.0);
    Trial = 0;
    Resting = true;
    Running = false;
    IsSteady = false;
}

void TToneNotch::Reset()
{
    Rest();
    std::fill(std::begin(Parts), std::end(Parts), 0.0);
    std::fill(std::begin(Whole), std::end(Whole), 0.0);
    Part = 0;
    Newest = 0;
}
