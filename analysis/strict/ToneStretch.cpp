#include "ToneStretch.h"

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

double TToneStretch::Fill(int Windows, int Tone) const
{
    std::complex<double> Sum = 0;
    double Most = 0;
    for (int w = 0; w < Windows; ++w)
        Sum += At(w * TToneBank::SubBlocksPerWindow).Tone[Tone];
    for (int b = 0; b <= (Windows - 1) * TToneBank::SubBlocksPerWindow; ++b)
        Most = std::max(Most, std::norm(At(b).Tone[Tone]));
    return Most > 0 ? std::sqrt(std::norm(Sum) / Most) / Windows : 0;
}

void TToneStretch::Reset()
{
    for (TToneWindow &Each : Recent)
        Each = TToneWindow();
    Newest = 0;
    Repeats = 0;
}
