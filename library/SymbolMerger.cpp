#include "SymbolMerger.h"

#include <algorithm>
#include <limits>

namespace {

bool Before(const TDecodedSymbol &A, const TDecodedSymbol &B)
{
    return A.Start != B.Start ? A.Start < B.Start : A.Channel < B.Channel;
}

bool Overlap(const TDecodedSymbol &A, const TDecodedSymbol &B)
{
    return A.Start < B.End && B.Start < A.End;
}

} // namespace

TSymbolMerger::TSymbolMerger(THandler Out, TPower Power)
    : Out(std::move(Out)), Power(std::move(Power))
{
}

void TSymbolMerger::Add(const TDecodedSymbol &Symbol)
{
    const THeld Entry{Symbol, false};
    Held.insert(
        std::upper_bound(Held.begin(), Held.end(), Entry,
                         [](const THeld &A, const THeld &B) { return Before(A.Symbol, B.Symbol); }),
        Entry);
}

// Every other channel has gone past the symbol's end: whatever overlaps it
// has been decided already.
bool TSymbolMerger::Settled(const TDecodedSymbol &Symbol,
                            const std::vector<int64_t> &Frontiers) const
{
    for (size_t c = 0; c < Frontiers.size(); ++c)
        if (static_cast<int>(c) + 1 != Symbol.Channel && Frontiers[c] < Symbol.End)
            return false;
    return true;
}

// Keeps the loudest of the symbol at Index and its repeats on other channels.
void TSymbolMerger::Choose(size_t Index)
{
    const TDecodedSymbol First = Held[Index].Symbol;
    std::vector<size_t> Group = {Index};
    for (size_t i = Index + 1; i < Held.size() && Held[i].Symbol.Start < First.End; ++i) {
        const TDecodedSymbol &Other = Held[i].Symbol;
        const bool ChannelTaken = std::any_of(Group.begin(), Group.end(), [&](size_t g) {
            return Held[g].Symbol.Channel == Other.Channel;
        });
        if (!Held[i].Chosen && Other.Symbol == First.Symbol && Overlap(First, Other) &&
            !ChannelTaken)
            Group.push_back(i);
    }
    size_t Loudest = Group[0];
    double Most = -1;
    for (size_t g : Group) {
        const TDecodedSymbol &S = Held[g].Symbol;
        const double P = Power(S.Channel, S.Start, S.End);
        if (P > Most) {
            Most = P;
            Loudest = g;
        }
    }
    Held[Loudest].Chosen = true;
    for (auto g = Group.rbegin(); g != Group.rend(); ++g)
        if (*g != Loudest)
            Held.erase(Held.begin() + static_cast<std::ptrdiff_t>(*g));
}

int64_t TSymbolMerger::Release(const std::vector<int64_t> &Frontiers)
{
    while (!Held.empty()) {
        if (Held.front().Chosen) {
            Out(Held.front().Symbol);
            Held.erase(Held.begin());
        } else if (Settled(Held.front().Symbol, Frontiers)) {
            Choose(0);
        } else {
            break;
        }
    }
    int64_t Needed = *std::min_element(Frontiers.begin(), Frontiers.end());
    for (const THeld &Entry : Held)
        Needed = std::min(Needed, Entry.Symbol.Start);
    return Needed;
}

void TSymbolMerger::Flush()
{
    Release({std::numeric_limits<int64_t>::max()});
}
