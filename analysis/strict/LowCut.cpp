#include "LowCut.h"

#include <cmath>
#include <complex>

// scipy.signal.butter(4, 600, 'highpass', fs=8000, output='sos').
const TLowCut::TSection TLowCut::Sections[2] = {
    {0.5365885311136986, -1.0731770622273973, 0.5365885311136986, -1.2554404734849927,
     0.40901378318031234},
    {1.0, -2.0, 1.0, -1.5182418440638743, 0.7039626566672619},
};

void TLowCut::Process(const float *In, size_t Count, float *Out)
{
    double s[2][2];
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
            s[k][j] = State[k][j];
    for (size_t n = 0; n < Count; ++n) {
        double x = In[n];
        for (int k = 0; k < 2; ++k) {
            const TSection &c = Sections[k];
            const double y = c.b0 * x + s[k][0];
            s[k][0] = c.b1 * x - c.a1 * y + s[k][1];
            s[k][1] = c.b2 * x - c.a2 * y;
            x = y;
        }
        Out[n] = static_cast<float>(x);
    }
    // Denormals never build up: a state this small is silence.
    for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
            State[k][j] = std::fabs(s[k][j]) < 1e-30 ? 0.0 : s[k][j];
}

double TLowCut::Gain(double Frequency)
{
    const std::complex<double> z = std::polar(1.0, -2 * M_PI * Frequency / 8000.0);
    double Gain = 1;
    for (const TSection &c : Sections)
        Gain *= std::abs((c.b0 + c.b1 * z + c.b2 * z * z) / (1.0 + c.a1 * z + c.a2 * z * z));
    return Gain;
}

void TLowCut::Reset()
{
    for (auto &Section : State)
        Section[0] = Section[1] = 0;
}
