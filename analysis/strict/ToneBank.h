// Correlations of an 8000 Hz signal with the eight DTMF tones and their
// second harmonics, over 20 ms windows that move on in 5 ms steps. Each 5 ms
// sub-block is correlated once; a window is the sum of four sub-blocks, all
// referred to one running phase, so consecutive windows can be compared in
// phase to tell a tone's frequency.
#pragma once

#include <complex>
#include <cstddef>

constexpr int BankTones = 16; // the eight DTMF tones, then their second harmonics

struct TToneWindow
{
    std::complex<double>
        Tone[BankTones]; // sum of x[n] e^(-j w n), n counted from the stream's start
    double Energy = 0;   // sum of x[n]^2
    double Unsteady = 0; // of it, the power under the keypad's band that is not steady
    int Length = 0;      // samples in the window
    int Railed = 0;      // samples at or near full scale: a clipped line
};

class TToneBank
{
  public:
    static constexpr double Rate = 8000.0;
    static constexpr int SubBlock = 40;
    static constexpr int SubBlocksPerWindow = 4;
    static constexpr int Window = SubBlock * SubBlocksPerWindow;
    // The long window: twice as long, for telling a tone under speech.
    static constexpr int SubBlocksPerLong = 2 * SubBlocksPerWindow;
    static constexpr int Long = SubBlock * SubBlocksPerLong;
    // A sample this near full scale sits on the rail of a clipped line, or on
    // the ripple that a resampler leaves on it.
    static constexpr float Rail = 0.98f;

    // Portable: the kernels written for any processor rather than those for
    // this one's vector unit, which give the same results.
    explicit TToneBank(bool Portable = false);

    // Takes one sub-block of SubBlock samples and gives the window that ends
    // with it; Extra is energy the window's samples do not show that counts
    // in its Energy all the same, and Unsteady the window's. Railed counts
    // the sub-block's samples on the rail, where the caller saw them before
    // a filter rounded the rail off; -1 counts them here.
    const TToneWindow &Analyse(const float *Samples, double Extra = 0, double Unsteady = 0,
                               int Railed = -1);

    // The long window that ends with the last sub-block taken.
    const TToneWindow &LongWindow() const { return *LastLong; }

    // The window and the long window given one step earlier (the same ones
    // again in long silence, where nothing moves).
    const TToneWindow &Previous() const { return *BeforeLast; }
    const TToneWindow &PreviousLong() const { return *BeforeLastLong; }

    // Whether the last sub-block was silence all through the long window:
    // the windows then stay as they are, and the window one step earlier is
    // the window itself.
    bool Quiet() const { return QuietParts > SubBlocksPerLong; }
    // Whether the last sub-block left the four windows as the one before
    // left them.
    bool Unchanged() const { return QuietParts > SubBlocksPerLong + 1; }

    // The long window that Analyse makes of Window and the window that ended
    // where it starts, bit for bit.
    static void Join(const TToneWindow &Window, const TToneWindow &Before, TToneWindow &Long);

    // How many of a sub-block's samples sit on the rail.
    static int RailedIn(const float *Samples);

    static double Frequency(int Tone);

    void Reset();

  private:
    // The phase steps of every tone repeat after this many sub-blocks, since
    // every frequency is a whole number of hertz and a sub-block is 1/200 s.
    static constexpr int PhasePeriod = 200;

    using TCorrelate = void (*)(const float *Samples, const float (*Basis)[2 * BankTones],
                                float *Sums);
    static TCorrelate ChooseCorrelate(bool Portable);
    using TTurn = void (*)(const float *Sums, const double *TurnRe, const double *TurnIm,
                           std::complex<double> *Part);
    static TTurn ChooseTurn(bool Portable);
    using TWindowParts = std::complex<double>[SubBlocksPerWindow][BankTones];
    using TWindowSums = void (*)(const TWindowParts &Parts, double *Short, double *Long);
    static TWindowSums ChooseWindowSums(bool Portable);
    // Each tone's turn at every sub-block of the period, made once for all
    // banks.
    struct TTurns
    {
        double Re[PhasePeriod][BankTones];
        double Im[PhasePeriod][BankTones];
    };
    static const TTurns &Turns();
    void NextPhase() { Phase = Phase + 1 == PhasePeriod ? 0 : Phase + 1; }

    const TCorrelate Correlate;
    const TTurn TurnParts;
    const TWindowSums WindowSums;

    float Basis[SubBlock][2 * BankTones]; // cos, then -sin
    const TTurns &Turn = Turns();
    int Phase = 0; // the next sub-block's place in the period
    TWindowParts Parts = {};
    double PartEnergy[SubBlocksPerWindow] = {};
    int PartRailed[SubBlocksPerWindow] = {};
    int Newest = 0;
    int QuietParts = 0; // zero sub-blocks in a row, counted up to MostQuiet
    static constexpr int MostQuiet = SubBlocksPerLong + 2;
    // The windows of the last sub-blocks, the oldest ending where the
    // newest starts, and the last two long windows.
    static constexpr int RecentCount = SubBlocksPerWindow;
    TToneWindow Recent[RecentCount];
    int RecentIndex = 0;
    TToneWindow Longs[2];
    int LongIndex = 0;
    const TToneWindow *Last = &Recent[0];
    const TToneWindow *BeforeLast = &Recent[0];
    const TToneWindow *LastLong = &Longs[0];
    const TToneWindow *BeforeLastLong = &Longs[0];
};
