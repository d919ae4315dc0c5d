// Takes the call-progress tones under the keypad's band out of the signal
// when they sound far over the digits: North America's dial tone (350 + 440
// Hz), ringback (440 + 480 Hz), busy and reorder (480 + 620 Hz), and
// Europe's dial tone (425 Hz). Such a tone would leave its power against the
// pair's share, and two of them beat, so that no steady part of a window's
// power stands for them. Each is a narrow notch, a second-order section 12
// to 21 Hz wide, which passes the keypad's tones within 0.1 dB (left as it
// is: the notches seldom run).
//
// The notches run only while much of the power lies under the band, steady,
// and their output is taken once what they take out has held most of the
// power, steadily, for 100 ms, and then for as long as it holds steady: a
// call-progress tone does; a note of music or a voice that passes through a
// notch comes and goes, and holds far less.
#pragma once

#include "ToneBank.h"

class TToneNotch
{
  public:
    TToneNotch();

    // Takes a sub-block of samples at 8000 Hz, and LowEnergy, the power under
    // the keypad's band in the window that ended with the sub-block before
    // (an energy, as the window's). Writes the sub-block through the notches
    // to Out while they run; otherwise leaves Out as it is.
    void Process(const float *In, float *Out, double LowEnergy);

    // Whether the last sub-block's output in Out is to be taken for its input.
    bool Steady() const { return IsSteady; }

    void Reset();

  private:
    static constexpr int Notches = 5;
    static constexpr double Frequencies[Notches] = {350, 425, 440, 480, 620};
    static constexpr double Q = 30;
    // The notches start when the power under the band has held at least
    // MinLowShare of the power over the last Windows windows (the band's
    // measure takes a call-progress tone 2 to 3 dB down), and at least
    // MinLowEnergy, a tone at -60 dBFS measured so (a quieter one stands
    // over no digit the receiver takes), within a factor of MaxSpread; they
    // run on for TrialBlocks sub-blocks (200 ms) after it last did.
    static constexpr double MinLowShare = 0.25;
    static constexpr double MinLowEnergy = 0.5 * 1e-6 * TToneBank::Window / 2;
    static constexpr int TrialBlocks = 40;
    // Their output is taken once, in each of the last Windows windows, they
    // took out at least MinTakenShare of the power, and within a factor of
    // MaxSpread of the same power each time.
    static constexpr int Windows = 5; // 20 ms each
    static constexpr double MinTakenShare = 0.5;
    static constexpr double MaxSpread = 2.0;

    // A notch's section, normalised: b0 = b2 = Gain, and b1 = a1 = Turn.
    struct TSection
    {
        double Gain = 0;
        double Turn = 0;
        double A2 = 0;
    };
    static TSection Section(double Frequency);
    // Filters a sub-block; returns the energy taken out.
    double Filter(const float *In, float *Out);
    // Stops the notches and forgets what they took out.
    void Rest();
    // Takes the window that ended with the last sub-block, and the power
    // under the band in it: whether the notches are to run, and their
    // output to be taken.
    void Judge(double LowEnergy);
    bool Holds(const double *Part, double Share, double Least) const;

    TSection Sections[Notches];
    // Each section's state, transposed direct form II.
    double State1[Notches] = {};
    double State2[Notches] = {};
    bool Resting = true;  // every state is zero
    bool Running = false; // filtering since the last reset
    int Trial = 0;        // sub-blocks still to filter since the notches were last wanted
    bool IsSteady = false;
    // The energy of each sub-block of the window under way, and what the
    // notches took out of it.
    double Parts[TToneBank::SubBlocksPerWindow] = {};
    double Taken[TToneBank::SubBlocksPerWindow] = {};
    int Part = 0;
    // The same of the last windows, and their power under the band.
    double Whole[Windows] = {};
    double TakenOut[Windows] = {};
    double Low[Windows] = {};
    int Newest = 0;
};
