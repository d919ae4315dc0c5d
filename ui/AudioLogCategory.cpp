#include "AudioLogCategory.h"

#include "AudioLog.h"

Q_LOGGING_CATEGORY(DtmfAudio, "dtmf.audio", QtWarningMsg)

namespace {

// Called on the GUI thread or on the sound server's mainloop thread.
void WriteToCategory(const std::string &Text)
{
    if (DtmfAudio().isInfoEnabled())
        qCInfo(DtmfAudio, "%s", Text.c_str());
    else if (DtmfAudio().isDebugEnabled())
        qCDebug(DtmfAudio, "%s", Text.c_str());
}

} // namespace

void InstallAudioLog()
{
    SetAudioLogSink(WriteToCategory);
}
