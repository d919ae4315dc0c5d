// Decoding of whole inputs: a sound file, or raw signed 16-bit little-endian
// PCM read from a descriptor as it arrives.
#pragma once

#include "Decoder.h"
#include "SoundFile.h"

#include <string>

// Both feed the whole input to Decoder, made for its rate and channel count,
// and finish it. They return false with the reason in Error when reading
// fails part way; what was read before is decoded all the same.
bool DecodeSoundFile(TSoundFile &File, TDecoder &Decoder, std::string &Error);
bool DecodeRawStream(int Fd, TDecoder &Decoder, std::string &Error);
