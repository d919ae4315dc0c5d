#include "ToneStretch.h"

#include "Keypad.h"

#include <algorithm>
#include <cmath>

void TToneStretch::Take(const TToneWindow &Window, bool Same)
{
    // Once every window kept is the same one, taking it again changes nothing.
    Repeats = Same ? std::min(Repeats + 1, Kept) : 0;
    if (Repeats == Kept)
        return;
    Newest = Newest + 1 == Kept ? 0 : Newest + 1;
    Recent[Newest] = Window;
}

TToneWindow TToneStretch::Stretch(int Windows, int Back) const
{
    TToneWindow Sum;
    for (int w = 0; w < Windows; ++w) {
        const TToneWindow &Each = At(Back + w * TToneBank::SubBlocksPerWindow);
        for (int k = 0; k < BankTones; ++k)
            Sum.Tone[k] += Each.Tone[k];
        Sum.Energy += Each.Energy;
        Sum.Unsteady += Each.Unsteady;
        Sum.Railed += Each.Railed;
        Sum.Length += Each.Length;
    }
    return Sum;
}

void TToneStretch::KeypadPowers(int Windows, double *Power, double *Most) const
{
    std::complex<double> Sum[DtmfToneCount] = {};
    std::fill(Most, Most + DtmfToneCount, 0.0);
    for (int w = 0; w < Windows; ++w) {
        const TToneWindow &Each = At(w * TToneBank::SubBlocksPerWindow);
        for (int k = 0; k < DtmfToneCount; ++k) {
            Sum[k] += Each.Tone[k];
            Most[k] = std::max(Most[k], std::norm(Each.Tone[k]));
        }
    }
    for (int k = 0; k < DtmfToneCount; ++k)
        Power[k] = std::norm(Sum[k]);
}

double TToneStretch::Fill(int Windows, int Low, int High) const
{
    std::complex<double> LowSum = 0;
    std::complex<double> HighSum = 0;
    double LowMost = 0;
    double HighMost = 0;
    for (int w = 0; w < Windows; ++w) {
        const TToneWindow &Each = At(w * TToneBank::SubBlocksPerWindow);
        LowSum += Each.Tone[Low];
        HighSum += Each.Tone[High];
    }
    for (int b = 0; b <= (Windows - 1) * TToneBank::SubBlocksPerWindow; ++b) {
        const TToneWindow &Each = At(b);
        LowMost = std::max(LowMost, std::norm(Each.Tone[Low]));
        HighMost = std::max(HighMost, std::norm(Each.Tone[High]));
    }
    if (!(LowMost > 0) || !(HighMost > 0))
        return 0;
    return std::sqrt(std::min(std::norm(LowSum) / LowMost, std::norm(HighSum) / HighMost)) /
           Windows;
}

void TToneStretch::Reset()
{
    for (TToneWindow &Each : Recent)
        Each = TToneWindow();
    Newest = 0;
    Repeats = 0;
}
