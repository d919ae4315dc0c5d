// The symbols of several channels brought into one stream in the order of
// their starts. The same symbol heard at the same time on several channels
// (a mono source copied, or crosstalk) is given once, with the channel where
// it is loudest.
#pragma once

#include "Symbol.h"

#include <cstdint>
#include <functional>
#include <vector>

class TSymbolMerger
{
  public:
    using THandler = std::function<void(const TDecodedSymbol &Symbol)>;
    // The mean power of a channel (from 1) between two positions.
    using TPower = std::function<double(int Channel, int64_t Start, int64_t End)>;

    TSymbolMerger(THandler Out, TPower Power);

    void Add(const TDecodedSymbol &Symbol);
    // Hands over every held symbol that nothing still to come can precede
    // or repeat; Frontiers[c] is where channel c + 1's next symbol can start
    // at the earliest. Returns the earliest position still needed.
    int64_t Release(const std::vector<int64_t> &Frontiers);
    // The input has ended: everything held goes out.
    void Flush();

  private:
    struct THeld
    {
        TDecodedSymbol Symbol;
        bool Chosen; // the loudest of its group, ready to go
    };

    bool Settled(const TDecodedSymbol &Symbol, const std::vector<int64_t> &Frontiers) const;
    void Choose(size_t Index);

    THandler Out;
    TPower Power;
    std::vector<THeld> Held; // in the order of their starts, then channels
};
