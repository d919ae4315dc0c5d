// The pages of an Ogg stream followed as its bytes go by: a header page whose
// checksum fails (libsndfile would leak the Vorbis decoder's set-up on it),
// and a stream that ends before its end-of-stream page (cut short).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TOggPages
{
  public:
    // Bytes of the stream at Offset. Bytes before what was seen already are
    // skipped; a gap stops the follow (a seek ahead, the length not yet known).
    void See(int64_t Offset, const unsigned char *Bytes, size_t Count);

    // Why the header pages at the start of Start are damaged or cut short,
    // or "". Whole: Start holds them all, so that nothing more is needed to
    // tell. Ended: the stream ends with Start.
    static std::string HeaderDamage(const std::vector<unsigned char> &Start, bool Ended,
                                    bool &Whole);
    // After the whole stream went by: why it is cut short, or "".
    std::string CutShort() const;

  private:
    void Parse();

    std::vector<unsigned char> Pending; // from the start of the next page on
    int64_t Seen = 0;                   // bytes followed from the start
    bool Lost = false;
    bool Ended = false; // the last whole page ends the stream
    int64_t Pages = 0;
};
