// Writes the seed corpora of the fuzz targets into the folder given:
// small sound files of several kinds, and runs of ReceiveBlock records.
#include "ToneSignals.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sndfile.h>
#include <string>
#include <vector>

namespace {

bool WriteSound(const std::string &Path, const std::vector<int16_t> &Frames, int Rate, int Channels,
                int Format)
{
    SF_INFO Info{};
    Info.samplerate = Rate;
    Info.channels = Channels;
    Info.format = Format;
    SNDFILE *File = sf_open(Path.c_str(), SFM_WRITE, &Info);
    if (File == nullptr) {
        std::fprintf(stderr, "%s: %s\n", Path.c_str(), sf_strerror(nullptr));
        return false;
    }
    sf_writef_short(File, Frames.data(), static_cast<sf_count_t>(Frames.size()) / Channels);
    sf_close(File);
    return true;
}

void AppendRecord(std::string &Records, int32_t Bytes, const std::vector<int16_t> &Samples)
{
    const auto Count = static_cast<uint32_t>(Bytes);
    for (int Shift = 0; Shift < 32; Shift += 8)
        Records.push_back(static_cast<char>(Count >> Shift & 0xFF));
    for (size_t i = 0; i < 1024 && i < Samples.size(); ++i) {
        Records.push_back(static_cast<char>(Samples[i] & 0xFF));
        Records.push_back(static_cast<char>(static_cast<uint16_t>(Samples[i]) >> 8));
    }
}

bool WriteDecoderSeeds(const std::string &Folder)
{
    const auto Short = [](int Rate) {
        return DtmfSequence("1", Rate, TToneGroups::Both, 0.05, 0.01);
    };
    const auto Stereo = [](int Rate) {
        return Interleave(DtmfSequence("2", Rate, TToneGroups::LowOnly, 0.05, 0.01),
                          DtmfSequence("2", Rate, TToneGroups::HighOnly, 0.05, 0.01));
    };
    return WriteSound(Folder + "/48k.wav", Short(48000), 48000, 1,
                      SF_FORMAT_WAV | SF_FORMAT_PCM_16) &&
           WriteSound(Folder + "/8k-ulaw.wav", Short(8000), 8000, 1,
                      SF_FORMAT_WAV | SF_FORMAT_ULAW) &&
           WriteSound(Folder + "/8k-alaw.wav", Short(8000), 8000, 1,
                      SF_FORMAT_WAV | SF_FORMAT_ALAW) &&
           WriteSound(Folder + "/44k-stereo.wav", Stereo(44100), 44100, 2,
                      SF_FORMAT_WAV | SF_FORMAT_PCM_16) &&
           WriteSound(Folder + "/16k.aiff", Short(16000), 16000, 1,
                      SF_FORMAT_AIFF | SF_FORMAT_PCM_24) &&
           WriteSound(Folder + "/48k-float.wav", Short(48000), 48000, 1,
                      SF_FORMAT_WAV | SF_FORMAT_FLOAT) &&
           WriteSound(Folder + "/22k.flac", Short(22050), 22050, 1,
                      SF_FORMAT_FLAC | SF_FORMAT_PCM_16) &&
           WriteSound(Folder + "/11k.au", Short(11025), 11025, 1, SF_FORMAT_AU | SF_FORMAT_PCM_16);
}

bool WriteBlockSeeds(const std::string &Folder)
{
    std::vector<int16_t> Tone;
    AppendTone(Tone, '5', 1024, 48000);
    std::vector<int16_t> Loud(1024, -32768);
    std::string Records;
    AppendRecord(Records, 2048, Tone);
    AppendRecord(Records, 2048, Tone);
    AppendRecord(Records, 1000, Loud);
    AppendRecord(Records, -1, Tone);
    AppendRecord(Records, 4096, Tone);
    std::ofstream(Folder + "/records", std::ios::binary) << Records;
    return true;
}

} // namespace

int main(int Argc, char **Argv)
{
    if (Argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string Root = Argv[1];
    std::filesystem::create_directories(Root + "/fuzz_decoder_input");
    std::filesystem::create_directories(Root + "/fuzz_receive_block");
    const bool Written = WriteDecoderSeeds(Root + "/fuzz_decoder_input") &&
                         WriteBlockSeeds(Root + "/fuzz_receive_block");
    return Written ? 0 : 1;
}
