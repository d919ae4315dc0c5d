// Takes steady call-progress tones out of the signal when they sound far
// over the digits: North America's dial tone (350 + 440 Hz), ringback (440 +
// 480 Hz), busy and reorder (480 + 620 Hz), Europe's dial tone (425 Hz) and
// the 1004 Hz test tone. Such a tone leaves its power against the pair's
// share, leaks into the keypad's bins beside it, and two of them beat, so
// that no steady part of a window's power stands for them. Each is a narrow
// notch, a second-order section 12 to 33 Hz wide, which passes the keypad's
// tones within 0.3 dB (left as it is: the notches seldom run).
//
// The notches run only while the window's power holds steady, within a
// factor of MaxSoundSpread, over the last 100 ms, and their output is taken
// once what they took out has held most of the power, within a factor of
// MaxSpread, over the last 100 ms, then for as long as it holds within that
// factor: a call-progress tone does; a note of music or a voice that passes
// through a notch comes and goes, and holds far less of the power.
#pragma once

#include "ToneBank.h"

class TToneNotch
{
  public:
    TToneNotch();

    // Takes a sub-block of samples at 8000 Hz; writes it through the notches
    // to Out while they run, otherwise leaves Out as it is.
    void Process(const float *In, float *Out);

    // Whether the last sub-block's output in Out is to be taken for its input.
    bool Steady() const { return IsSteady; }

    void Reset();

  private:
    static constexpr int Notches = 6;
    static constexpr double Frequencies[Notches] = {350, 425, 440, 480, 620, 1004};
    static constexpr double Q = 30;
    static constexpr int Windows = 5; // the last 100 ms, in windows of 20 ms
    // The notches start when every window holds at least MinEnergy, a tone
    // at -60 dBFS (a quieter one stands over no digit the receiver takes),
    // and run on for TrialBlocks sub-blocks (200 ms) after the power last held
    // steady. Two tones that beat at 40 Hz move a window's power by a factor
    // of up to 1.6.
    static constexpr double MinEnergy = 1e-6 * TToneBank::Window / 2;
    static constexpr double MaxSoundSpread = 1.5;
    static constexpr int TrialBlocks = 40;
    // Their output is taken once they took out at least MinTakenShare of the
    // power of each window.
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
    // Takes the window that ended with the last sub-block: whether the
    // notches are to run, and their output to be taken.
    void Judge();
    // Whether every one of the last windows holds at least Share of its
    // power in Measure, and more than Least, within a factor of Spread.
    bool Holds(const double *Measure, double Share, double Least, double Spread) const;

    TSection Sections[Notches];
    // Each section's state, transposed direct form II.
    double State1[Notches] = {};
    double State2[Notches] = {};
    bool Resting = true;  // every state is zero
    bool Running = false; // filtering since the last reset
    int Trial = 0;        // sub-blocks still to filter since the power last held steady
    bool IsSteady = false;
    // The energy of each sub-block of the window under way, and what the
    // notches took out of it.
    double Parts[TToneBank::SubBlocksPerWindow] = {};
    double Taken[TToneBank::SubBlocksPerWindow] = {};
    int Part = 0;
    // The same of the last windows.
    double Whole[Windows] = {};
    double TakenOut[Windows] = {};
    int Newest = 0;
};
