// The tone bank's windows of the last 100 ms, kept so that a stretch of a
// few consecutive windows can be judged as one: the correlations of windows
// that follow each other add up to the correlation over their whole length,
// since every window refers to one running phase. A long stretch tells a
// steady tone from sound around it that a single window cannot: the tone
// adds up in step, the rest does not, and a tone a few hertz off a keypad
// frequency falls out of the narrower band.
#pragma once

#include "ToneBank.h"

class TToneStretch
{
  public:
    static constexpr int MostWindows = 4;

    // Takes the window that ends with the newest sub-block; Same when it is
    // the window taken last again.
    void Take(const TToneWindow &Window, bool Same = false);

    // The stretch of Windows consecutive windows (at most MostWindows) that
    // ends Back sub-blocks before the newest one (Back 0 or 1).
    TToneWindow Stretch(int Windows, int Back) const;

    // The power of each keypad tone (DtmfToneCount of them) over the
    // stretch of Windows windows that ends with the newest sub-block, and
    // its greatest power in one of those windows.
    void KeypadPowers(int Windows, double *Power, double *Most) const;

    // How fully two tones fill the stretch of Windows windows that ends with
    // the newest sub-block, the lesser of the two: a tone's amplitude there
    // over Windows times its greatest amplitude in a window that lies within
    // the stretch, at any step (1 when it sounds all through; a short burst
    // that two of the stretch's windows share still fills a window of its
    // own).
    double Fill(int Windows, int Low, int High) const;

    void Reset();

  private:
    static constexpr int Kept = MostWindows * TToneBank::SubBlocksPerWindow + 1;

    // The window taken Back sub-blocks before the newest one.
    const TToneWindow &At(int Back) const { return Recent[(Newest - Back + Kept) % Kept]; }

    TToneWindow Recent[Kept];
    int Newest = 0;
    int Repeats = 0; // the same window taken again, this many times in a row
};
