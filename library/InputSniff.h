// What the first bytes of an input tell before libsndfile is asked: a
// container it can't read (said with the command that converts it), and MPEG
// audio told apart from raw PCM that merely starts like a frame sync.
#pragma once

#include <cstddef>
#include <string>

// Bytes enough to see two MPEG audio frames one after the other.
constexpr size_t MpegProbeBytes = 4096;

// Why Start begins a container that can't be decoded here, with the command
// that pipes it through ffmpeg, or "". Standard: the input is standard input.
std::string UnreadableContainer(const std::string &Start, bool Standard);

// The same for AAC frames (ADTS), which start like MPEG audio frames.
std::string UnreadableAdts(const std::string &Start, bool Standard);
// The message for a kind of input that can't be decoded here.
std::string Unreadable(const std::string &Kind, bool Standard);

// Start begins like an MPEG audio frame (a sync word), so that the first
// MpegProbeBytes are needed to tell whether it is one.
bool StartsLikeMpegFrame(const std::string &Start);

// Start holds an ID3 tag or two MPEG audio frames in a row (or one that ends
// the input, when Complete).
bool IsMpegAudio(const std::string &Start, bool Complete);
