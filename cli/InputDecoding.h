// Decoding of whole inputs: a sound file, or raw signed 16-bit little-endian
// PCM read from a descriptor as it arrives.
#pragma once

#include "Decoder.h"
#include "SoundFile.h"

#include <string>

// Both feed the whole input to Decoder, made for its rate and channel count,
// and finish it.
void DecodeSoundFile(TSoundFile &File, TDecoder &Decoder);
// Returns false with the reason in Error when reading fails part way; what
// arrived before is decoded all the same.
bool DecodeRawStream(int Fd, TDecoder &Decoder, std::string &Error);
