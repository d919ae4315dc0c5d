#include "ToneStretch.h"

void TToneStretch::Take(const TToneWindow &Window)
{
    Newest = (Newest + 1) % Kept;
    Recent[Newest] = Window;
}

TToneWindow TToneStretch::Stretch(int Windows, int Back) const
{
    TToneWindow Sum;
    for (int w = 0; w < Windows; ++w) {
        const TToneWindow &Each =
            Recent[(Newest - Back - w * TToneBank::SubBlocksPerWindow + 2 * Kept) % Kept];
        for (int k = 0; k < BankTones; ++k)
            Sum.Tone[k] += Each.Tone[k];
        Sum.Energy += Each.Energy;
        Sum.Length += Each.Length;
    }
    return Sum;
}

void TToneStretch::Reset()
{
    for (TToneWindow &Each : Recent)
        Each = TToneWindow();
    Newest = 0;
}
