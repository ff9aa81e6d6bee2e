// libjpeg ends a fatal error in a callback that must not return; ours jumps back to the step that
// called libjpeg. Steps hold only plain data, so no destructor is skipped, and the checks that
// raise C++ exceptions run between steps, never inside one.
#include "readers/decoders/TIFFJPEGDecoder.h"

#include "host/Format.h"
#include "host/Limits.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace ferronel {

namespace {

const char* const SJPEGError = "JPEG error #%d";
const char* const SBogusTables = "Bogus JPEG tables field.";
const char* const SImproperSize = "Improper JPEG strip/tile size.";
const char* const SImproperComponents = "Improper JPEG component count.";
const char* const SImproperPrecision = "Improper JPEG data precision.";
const char* const SImproperSampling = "Improper JPEG sampling factors.";
const char* const SFractionalLine = "Fractional JPEG scanline unsupported.";
const char* const SUnexpectedEnd = "JPEG decompression error. Unexpected end of input.";
const char* const SWarning = "Warning";

const JOCTET EndOfImage[2] = {0xFF, JPEG_EOI};

TTIFFJPEGDecoder::TWarningHandler& WarningHandler() {
    static TTIFFJPEGDecoder::TWarningHandler handler;
    return handler;
}

} // namespace

// One libjpeg object and what its callbacks need. Plain data only, so a jump may cross any frame
// holding it.
struct TTIFFJPEGDecoder::TSession {
    jpeg_decompress_struct Info;
    jpeg_error_mgr Error;
    std::jmp_buf Jump;
    jpeg_source_mgr Source;
    bool Created = false;
    const char* PendingWarning = nullptr; // a fixed text, or Message
    char Message[JMSG_LENGTH_MAX];
    int HeaderResult = 0;
    uint32_t RowsRead = 0;
};

namespace {

using TSession = TTIFFJPEGDecoder::TSession;

TSession& SessionOf(j_common_ptr Info) { return *static_cast<TSession*>(Info->client_data); }

extern "C" void TiffJpegErrorExit(j_common_ptr Info) { std::longjmp(SessionOf(Info).Jump, 1); }
extern "C" void TiffJpegOutputMessage(j_common_ptr Info) {
    TSession& s = SessionOf(Info);
    if (s.PendingWarning) return;
    Info->err->format_message(Info, s.Message);
    s.PendingWarning = s.Message;
}

extern "C" void TiffJpegInitSource(j_decompress_ptr) {}
extern "C" boolean TiffJpegFillInputBuffer(j_decompress_ptr Info) {
    // Cut data ends as an end-of-image marker, which libjpeg turns into its fill for missing rows.
    TSession& s = SessionOf(reinterpret_cast<j_common_ptr>(Info));
    if (!s.PendingWarning) s.PendingWarning = SUnexpectedEnd;
    Info->src->next_input_byte = EndOfImage;
    Info->src->bytes_in_buffer = 2;
    return TRUE;
}
extern "C" void TiffJpegSkipInputData(j_decompress_ptr Info, long Count) {
    if (Count <= 0) return;
    jpeg_source_mgr& src = *Info->src;
    if (size_t(Count) > src.bytes_in_buffer) {
        TiffJpegFillInputBuffer(Info);
        return;
    }
    src.next_input_byte += Count;
    src.bytes_in_buffer -= size_t(Count);
}
extern "C" void TiffJpegTermSource(j_decompress_ptr) {}

void SetSource(TSession& S, const uint8_t* Data, size_t Size) {
    S.Source.next_input_byte = Data;
    S.Source.bytes_in_buffer = Size;
    S.Info.src = &S.Source;
}

// The steps that call libjpeg, each run under Guarded.
void CreateStep(TSession& S) {
    S.Info.err = jpeg_std_error(&S.Error);
    S.Error.error_exit = TiffJpegErrorExit;
    S.Error.output_message = TiffJpegOutputMessage;
    jpeg_create_decompress(&S.Info);
    S.Created = true;
    S.Info.client_data = &S;
    S.Info.mem->max_memory_to_use = long(std::min<uint64_t>(PixelBufferLimit(), uint64_t(LONG_MAX)));
    S.Source.init_source = TiffJpegInitSource;
    S.Source.fill_input_buffer = TiffJpegFillInputBuffer;
    S.Source.skip_input_data = TiffJpegSkipInputData;
    S.Source.resync_to_restart = jpeg_resync_to_restart;
    S.Source.term_source = TiffJpegTermSource;
}

void HeaderStep(TSession& S, const uint8_t* Data, size_t Size, bool RequireImage) {
    jpeg_abort(reinterpret_cast<j_common_ptr>(&S.Info));
    SetSource(S, Data, Size);
    S.HeaderResult = jpeg_read_header(&S.Info, RequireImage ? TRUE : FALSE);
}

void StartStep(TSession& S, J_COLOR_SPACE In, J_COLOR_SPACE Out) {
    S.Info.jpeg_color_space = In;
    S.Info.out_color_space = Out;
    S.Info.raw_data_out = FALSE;
    jpeg_start_decompress(&S.Info);
}

void ReadStep(TSession& S, uint8_t* Dest, size_t LineSize, uint32_t Rows) {
    S.RowsRead = 0;
    while (S.RowsRead < Rows) {
        JSAMPROW row[1] = {Dest + S.RowsRead * LineSize};
        if (jpeg_read_scanlines(&S.Info, row, 1) != 1) break;
        ++S.RowsRead;
    }
}

void AbortStep(TSession& S) { jpeg_abort(reinterpret_cast<j_common_ptr>(&S.Info)); }

// Runs Step with the jump point set; answers 1 when libjpeg ended it with an error.
template <typename... A> int Guarded(TSession& S, void (*Step)(TSession&, A...), A... Args) {
    if (setjmp(S.Jump) != 0) return 1;
    Step(S, Args...);
    return 0;
}

} // namespace

TTIFFJPEGDecoder::TTIFFJPEGDecoder(const TImageProperties* Properties) : FProperties(Properties) {}

TTIFFJPEGDecoder::~TTIFFJPEGDecoder() { EndDecode(); }

void TTIFFJPEGDecoder::SetWarningHandler(TWarningHandler Handler) { WarningHandler() = std::move(Handler); }

void TTIFFJPEGDecoder::RaiseJump(int Code) {
    if (Code == 0) return;
    ReportWarning();
    throw EInvalidGraphic(Format(SJPEGError, {FSession->Error.msg_code}));
}

void TTIFFJPEGDecoder::ReportWarning() {
    TSession& s = *FSession;
    if (!s.PendingWarning) return;
    const std::string text = s.PendingWarning;
    s.PendingWarning = nullptr;
    // One box per image, however many strips are damaged.
    if (FWarned) return;
    FWarned = true;
    if (WarningHandler()) WarningHandler()(SWarning, text);
}

void TTIFFJPEGDecoder::BeginDecode() {
    EndDecode();
    FSession = std::make_unique<TSession>();
    TSession& s = *FSession;
    RaiseJump(Guarded(s, CreateStep));
    const TImageProperties& p = *FProperties;
    FHSampling = p.YCbCrSubsampling.size() >= 2 ? p.YCbCrSubsampling[0] : 1;
    FVSampling = p.YCbCrSubsampling.size() >= 2 ? p.YCbCrSubsampling[1] : 1;
    if (!p.JPEGTables.empty()) {
        RaiseJump(Guarded(s, HeaderStep, p.JPEGTables.data(), p.JPEGTables.size(), false));
        if (s.HeaderResult != JPEG_HEADER_TABLES_ONLY) CompressionError(SBogusTables);
    }
}

void TTIFFJPEGDecoder::Decode(const uint8_t*& Source, uint8_t*& Dest, int32_t PackedSize,
                              int32_t UnpackedSize) {
    if (!FSession) BeginDecode();
    TSession& s = *FSession;
    if (PackedSize <= 0 || UnpackedSize <= 0) return;
    const TImageProperties& p = *FProperties;
    const bool tiled = p.Flags.Contains(ifTiled);
    const uint32_t rowsPerStrip = p.RowsPerStrip.empty() ? p.Height : p.RowsPerStrip[0];
    const uint32_t width = tiled ? p.TileWidth : p.Width;
    const uint32_t height =
        tiled ? p.TileLength : std::min(p.Height - std::min(p.CurrentRow, p.Height), rowsPerStrip);
    const bool planar = p.PlanarConfiguration == 2;
    const int components = planar ? 1 : p.SamplesPerPixel;

    RaiseJump(Guarded(s, HeaderStep, Source, size_t(PackedSize), true));
    ReportWarning();
    jpeg_decompress_struct& info = s.Info;
    if (info.image_width != width || info.image_height != height) CompressionError(SImproperSize);
    if (info.num_components != components) CompressionError(SImproperComponents);
    if (info.data_precision != p.BitsPerSample) CompressionError(SImproperPrecision);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& ci = info.comp_info[c];
        const int h = c == 0 && !planar ? FHSampling : 1, v = c == 0 && !planar ? FVSampling : 1;
        if (ci.h_samp_factor != h || ci.v_samp_factor != v) CompressionError(SImproperSampling);
    }
    J_COLOR_SPACE in = JCS_UNKNOWN, out = JCS_UNKNOWN;
    if (components == 1) {
        in = out = JCS_GRAYSCALE;
    } else if (p.ColorScheme == csYCbCr) {
        in = JCS_YCbCr;
        out = JCS_RGB;
    } else if (components == 3) {
        in = out = JCS_RGB;
    } else if (components == 4 && p.ColorScheme == csCMYK) {
        in = out = JCS_CMYK;
    }
    RaiseJump(Guarded(s, StartStep, in, out));
    const size_t lineSize = size_t(width) * size_t(components);
    if (lineSize != size_t(info.output_width) * size_t(info.output_components)) {
        RaiseJump(Guarded(s, AbortStep));
        CompressionError(SImproperSize);
    }
    if (size_t(UnpackedSize) % lineSize != 0) {
        RaiseJump(Guarded(s, AbortStep));
        CompressionError(SFractionalLine);
    }
    const uint32_t rows = std::min<uint32_t>(uint32_t(size_t(UnpackedSize) / lineSize), info.output_height);
    const int code = Guarded(s, ReadStep, Dest, lineSize, rows);
    // Abort rather than finish: finishing a stream with rows left over is an error of its own.
    const int aborted = Guarded(s, AbortStep);
    RaiseJump(code ? code : aborted);
    ReportWarning();
}

void TTIFFJPEGDecoder::EndDecode() {
    if (FSession && FSession->Created) jpeg_destroy_decompress(&FSession->Info);
    FSession.reset();
}

} // namespace ferronel
