#include "StrictBlockDetector.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(DtmfDetector, "dtmf.detector", QtWarningMsg)

TStrictBlockDetector::TStrictBlockDetector()
{
    // A block rarely ends more than one symbol; the vectors never grow again.
    Ended.reserve(8);
    Started.reserve(8);
}

void TStrictBlockDetector::DetectBlock(const int16_t *Samples, int32_t Count, TDtmfSpine &Spine)
{
    const int32_t Taking = std::clamp<int32_t>(Count, 0, BlockSamples);
    for (int32_t i = 0; i < Taking; ++i)
        Scaled[i] = static_cast<float>(Samples[i]) / 32768.0f;
    Receiver.Receive(Scaled, static_cast<size_t>(Taking), Ended, &Started);
    Taken += Taking;
    // Whole symbols come later; the line has shown each at its start.
    Ended.clear();
    if (Started.empty())
        Spine.AppendToLine(' ');
    for (const TDecodedSymbol &Digit : Started) {
        Spine.AppendToLine(Digit.Symbol);
        LogShown(Digit);
    }
    Started.clear();
}

void TStrictBlockDetector::LogShown(const TDecodedSymbol &Digit) const
{
    if (!DtmfDetector().isDebugEnabled())
        return;
    const double Milliseconds = double(Taken - Digit.Start) * 1000.0 / TStrictReceiver::SampleRate;
    qCDebug(DtmfDetector, "%c on the line %.1f ms after its tone began", Digit.Symbol,
            Milliseconds);
}
