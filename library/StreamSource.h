// libsndfile's virtual I/O over a descriptor read front to back, a pipe or a
// file alike, so that a stream is decoded as it arrives and a file whose data
// ends before its header says can be told from a whole one.
//
// While the header is read everything is kept, so the reader may look back
// to the start. A look far ahead (past the data, for chunks that may follow
// it) finds nothing instead of waiting for the whole stream; so does a look
// past the end of a WAV's or AIFF's sample data that hasn't arrived yet, so
// that a short file on a pipe is decoded as it comes. The length is given as
// unknown and huge, so that the reader believes the header's sizes, and a
// seek from the end fails, as on a pipe.
//
// A WAV data size of 0, a streaming writer's placeholder, is read as
// "unknown": the data runs to the end of the stream.
#pragma once

#include "OggPages.h"

#include <sndfile.h>

#include <memory>
#include <string>
#include <vector>

class TStreamSource
{
  public:
    // Bytes already taken from Fd (the first bytes of a stream, looked at to
    // tell its kind) come first. The descriptor stays the caller's.
    TStreamSource(int Fd, const std::string &Taken);

    static SF_VIRTUAL_IO *Io();

    // The header has been read: from now on only a little is kept behind the
    // reading position.
    void HeaderRead() { ReadingHeader = false; }

    // The first bytes of the stream, as far as they have been read.
    const std::vector<unsigned char> &Start() const { return Held; }
    // Before the header is read: the first Count bytes, fewer only when the
    // stream ends sooner.
    const std::vector<unsigned char> &Peek(size_t Count);
    // From now on the Ogg pages are followed as the bytes go by.
    void FollowOggPages() { Pages = std::make_unique<TOggPages>(); }
    // After the whole stream went by: why its Ogg stream is cut short, or "".
    std::string OggCutShort() const { return Pages ? Pages->CutShort() : ""; }
    // The descriptor has given all it had.
    bool Ended() const { return AtEnd; }
    // The reason reading from the descriptor failed, or "".
    const std::string &ReadError() const { return Error; }

  private:
    bool FillTo(sf_count_t End);
    sf_count_t ReadDirect(unsigned char *Destination, sf_count_t Count);
    void DropBehind();
    void FindSampleData();
    sf_count_t HeldEnd() const { return HeldStart + static_cast<sf_count_t>(Held.size()); }

    static sf_count_t Length(void *User);
    static sf_count_t Seek(sf_count_t Offset, int Whence, void *User);
    static sf_count_t Read(void *Destination, sf_count_t Count, void *User);
    static sf_count_t Write(const void *Source, sf_count_t Count, void *User);
    static sf_count_t Tell(void *User);

    int Fd;
    std::vector<unsigned char> Held; // the stream from HeldStart on
    sf_count_t HeldStart = 0;
    sf_count_t Position = 0;
    bool ReadingHeader = true;
    bool AtEnd = false;
    std::string Error;
    sf_count_t DataEnd = -1; // where a WAV's or AIFF's samples end, if known
    std::unique_ptr<TOggPages> Pages;
};
