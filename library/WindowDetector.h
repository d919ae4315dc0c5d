// The window program's detector for the decoder: blocks of 1024 samples
// through the spine's detector and gate. A symbol starts at the block whose
// analysis let it through and ends with the last block that carried it.
#pragma once

#include "SymbolDetector.h"
#include "UnshownDigitLine.h"
#include "window/DtmfSpine.h"

#include <vector>

class TWindowDetector : public TSymbolDetector
{
  public:
    // ReportAtEmission hands each symbol over as soon as the gate lets it
    // through, its end not yet known (End is then the end of that block);
    // otherwise it is handed over once a block no longer carries it.
    TWindowDetector(THandler OnSymbol, bool ReportAtEmission);

    void ReceiveShorts(const int16_t *Samples, size_t Count) override;
    void ReceiveFloats(const float *Samples, size_t Count) override;
    // Pads the last partial block with zeros and analyses it.
    void Finish() override;
    int64_t Frontier() const override { return Sounding ? Current.Start : BlockStart; }

    // After Finish: the last partial block, padded, as the spine saw it.
    const int16_t *LastBlock() const { return Block; }

  private:
    void AnalyseBlock(const int16_t *Samples);
    void EndSymbol();

    THandler OnSymbol;
    bool ReportAtEmission;
    TUnshownDigitLine Line;
    TDtmfSpine Spine{Line};
    int16_t Block[BlockSamples] = {};
    int Filled = 0;
    int64_t BlockStart = 0;
    bool Sounding = false;
    TDecodedSymbol Current{};
    std::vector<int16_t> Shorts;
};
