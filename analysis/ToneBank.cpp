#include "ToneBank.h"

#include "ToneDetector.h"

#include <cmath>

double TToneBank::Frequency(int Tone)
{
    return Tone < DtmfToneCount ? DtmfFrequencies[Tone] : 2 * DtmfFrequencies[Tone - DtmfToneCount];
}

TToneBank::TToneBank()
{
    for (int n = 0; n < SubBlock; ++n)
        for (int k = 0; k < BankTones; ++k) {
            const double Phase = 2 * M_PI * Frequency(k) * n / Rate;
            Basis[n][k] = static_cast<float>(std::cos(Phase));
            Basis[n][BankTones + k] = static_cast<float>(-std::sin(Phase));
        }
    for (int i = 0; i < PhasePeriod; ++i)
        Turn[i] = std::polar(1.0, -2 * M_PI * i / PhasePeriod);
}

void TToneBank::Reset()
{
    for (auto &Part : Parts)
        for (auto &Value : Part)
            Value = 0;
    for (double &e : PartEnergy)
        e = 0;
    Newest = 0;
    PhaseIndex = 0;
}

const TToneWindow &TToneBank::Analyse(const float *Samples)
{
    float Sums[2 * BankTones] = {};
    float Energy = 0;
    for (int n = 0; n < SubBlock; ++n) {
        const float x = Samples[n];
        Energy += x * x;
        for (int k = 0; k < 2 * BankTones; ++k)
            Sums[k] += x * Basis[n][k];
    }

    Newest = (Newest + 1) % SubBlocksPerWindow;
    PartEnergy[Newest] = Energy;
    for (int k = 0; k < BankTones; ++k) {
        // The sub-block starts PhaseIndex sub-blocks into the phase period.
        const int Step = static_cast<int>(Frequency(k)) * PhaseIndex % PhasePeriod;
        Parts[Newest][k] = std::complex<double>(Sums[k], Sums[BankTones + k]) * Turn[Step];
    }
    PhaseIndex = (PhaseIndex + 1) % PhasePeriod;

    Current.Energy = 0;
    for (double e : PartEnergy)
        Current.Energy += e;
    for (int k = 0; k < BankTones; ++k) {
        std::complex<double> Sum = 0;
        for (int p = 0; p < SubBlocksPerWindow; ++p)
            Sum += Parts[p][k];
        Current.Tone[k] = Sum;
    }
    return Current;
}
