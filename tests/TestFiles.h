// A private temporary directory for the files of one test, removed with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TTestFiles
{
  public:
    TTestFiles();
    ~TTestFiles();
    TTestFiles(const TTestFiles &) = delete;
    TTestFiles &operator=(const TTestFiles &) = delete;

    std::string Path(const std::string &Name) const { return Directory + "/" + Name; }

    // Writes interleaved 16-bit frames in a libsndfile format (SF_FORMAT_*);
    // returns the path.
    std::string WriteSound(const std::string &Name, const std::vector<int16_t> &Frames, int Rate,
                           int Channels, int Format);
    std::string WriteText(const std::string &Name, const std::string &Text);
    static std::string ReadBytes(const std::string &Path);

  private:
    std::string Directory;
};

// Raw signed 16-bit little-endian bytes of samples.
std::string RawBytes(const std::vector<int16_t> &Samples);
