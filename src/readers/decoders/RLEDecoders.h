// The run-length decoders: Targa (which also encodes), PackBits, PCX, SGI, Dr. Halo CUT, Paint Shop
// Pro and Alias/Wavefront RLA. They raise nothing: damaged data gives wrong pixels, and decoding
// stops at the end of the source bytes or of the destination, whichever comes first.
#pragma once

#include "readers/decoders/Decoder.h"

namespace ferronel {

// Units: pixels of ColorDepth bits (8, 15, 16, 24 or 32). Decode advances Source past what it used.
// Older writers let a packet run on past the end of a row; the part of a packet a call could not
// use is kept and continues the next call, so rows may be decoded one at a time. BeginDecode
// forgets it.
class TTargaRLEDecoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TTargaRLEDecoder, TDecoder)
public:
    explicit TTargaRLEDecoder(uint32_t ColorDepth) : FColorDepth(ColorDepth) {}
    void BeginDecode() override { FPendingCount = 0; }
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
    // Dest must hold Count x (pixel bytes + 1) bytes, the worst case of one control byte a pixel.
    void Encode(const uint8_t* Source, uint8_t* Dest, uint32_t Count, uint32_t& BytesStored) override;
    uint32_t ColorDepth() const { return FColorDepth; }
    // Pixels of a packet that the last call left over.
    size_t PendingPixels() const { return FPendingCount; }

private:
    uint32_t FColorDepth;
    size_t FPendingCount = 0;
    bool FPendingRun = false; // a run (of FRunPixel) rather than raw pixels from the source
    uint8_t FRunPixel[4] = {};
};

// Units: bytes.
class TPackbitsRLEDecoder : public TDecoder {
    FERRONEL_CLASS(TPackbitsRLEDecoder, TDecoder)
public:
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

// Units: bytes.
class TPCXRLEDecoder : public TDecoder {
    FERRONEL_CLASS(TPCXRLEDecoder, TDecoder)
public:
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

// Units: samples of SampleSize bits (8 or 16). A row ends at its end code.
class TSGIRLEDecoder : public TDecoder {
    FERRONEL_ABSTRACT_CLASS(TSGIRLEDecoder, TDecoder)
public:
    explicit TSGIRLEDecoder(uint8_t SampleSize) : FSampleSize(SampleSize) {}
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;

private:
    uint8_t FSampleSize;
};

// Units: bytes. One line, ending at its 0 code; Source is left after that code.
class TCUTRLEDecoder : public TDecoder {
    FERRONEL_CLASS(TCUTRLEDecoder, TDecoder)
public:
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

// Units: bytes; runs until PackedSize bytes are used.
class TPSPRLEDecoder : public TDecoder {
    FERRONEL_CLASS(TPSPRLEDecoder, TDecoder)
public:
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

// Units: bytes; runs until PackedSize bytes are used.
class TRLADecoder : public TDecoder {
    FERRONEL_CLASS(TRLADecoder, TDecoder)
public:
    void Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize, int32_t UnpackedSize) override;
};

} // namespace ferronel
