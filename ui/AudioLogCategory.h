// The capture layer's diagnostics as the logging category "dtmf.audio": off
// by default, turned on with QT_LOGGING_RULES="dtmf.audio.debug=true" (or
// "dtmf.audio.info=true").
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(DtmfAudio)

// Sends the capture layer's diagnostics to the category.
void InstallAudioLog();
