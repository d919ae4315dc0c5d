#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sndfile.h>
#include <stdexcept>
#include <stdlib.h>

TTestFiles::TTestFiles()
{
    std::string Template = (std::filesystem::temp_directory_path() / "dtmf-test-XXXXXX").string();
    if (mkdtemp(Template.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    Directory = Template;
}

TTestFiles::~TTestFiles()
{
    std::error_code Ignored;
    std::filesystem::remove_all(Directory, Ignored);
}

std::string TTestFiles::WriteSound(const std::string &Name, const std::vector<int16_t> &Frames,
                                   int Rate, int Channels, int Format)
{
    const std::string File = Path(Name);
    SF_INFO Info{};
    Info.samplerate = Rate;
    Info.channels = Channels;
    Info.format = Format;
    SNDFILE *Sound = sf_open(File.c_str(), SFM_WRITE, &Info);
    if (Sound == nullptr)
        throw std::runtime_error(std::string("cannot write ") + File + ": " + sf_strerror(nullptr));
    sf_writef_short(Sound, Frames.data(), static_cast<sf_count_t>(Frames.size()) / Channels);
    sf_close(Sound);
    return File;
}

std::string TTestFiles::WriteText(const std::string &Name, const std::string &Text)
{
    const std::string File = Path(Name);
    std::ofstream(File) << Text;
    return File;
}

std::string TTestFiles::ReadBytes(const std::string &Path)
{
    std::ifstream File(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

std::string RawBytes(const std::vector<int16_t> &Samples)
{
    std::string Bytes;
    for (int16_t Sample : Samples) {
        const auto Value = static_cast<uint16_t>(Sample);
        Bytes.push_back(static_cast<char>(Value & 0xFF));
        Bytes.push_back(static_cast<char>(Value >> 8));
    }
    return Bytes;
}
