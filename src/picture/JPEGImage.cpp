// libjpeg reports a fatal error through its error-exit callback, which must not return. Ours jumps
// back to the setjmp of the step that called into libjpeg (see Guarded). A jump skips destructors,
// so every frame between such a setjmp and libjpeg belongs to a step that holds only plain data:
// buffers are made before a step and released after it, and C++ exceptions are turned into a jump
// code in the callbacks before they could reach a C frame.
#include "picture/JPEGImage.h"

#include "host/ByteReader.h"
#include "host/Canvas.h"
#include "host/CheckedSize.h"
#include "host/Format.h"
#include "host/Limits.h"
#include "host/Stream.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <span>

#include <jerror.h>
#include <jpeglib.h>

namespace ferronel {

namespace {

const char* const SJPEGError = "JPEG error #%d";
const char* const SChangeSize = "Cannot change the size of a JPEG image";
const char* const STooManyScans = "Cannot load image. The JPEG file has more than %d scans.";

// Progressive files with thousands of tiny scans cost a full pass each; real files have about ten.
constexpr int MaxScans = 1000;
constexpr int DesiredColors = 236;

enum TJumpCode : int { jcLibrary = 1, jcCallback = 2, jcTooManyScans = 3 };

struct TErrorManager {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
};

struct TJPEGSession;
using TProgressReport = bool (*)(TJPEGSession& Session) noexcept;

// One decompression. Plain data only, so a jump may cross any frame that holds it.
struct TJPEGSession {
    jpeg_decompress_struct Info;
    TErrorManager Error;
    jpeg_progress_mgr Progress;
    bool Created = false;
    // The progress report and its state; the image is reached through Owner.
    TProgressReport Report = nullptr;
    void* Owner = nullptr;
    std::exception_ptr* Pending = nullptr; // an error the report caught, raised after the jump
    int64_t LastReport = -1;
    int LastPercent = -1;
    int JumpCode = 0; // why the last jump came
};

[[noreturn]] void Jump(TJPEGSession& S, TJumpCode Code) {
    S.JumpCode = Code;
    std::longjmp(S.Error.Jump, 1);
}

extern "C" void ErrorExit(j_common_ptr Info) {
    Jump(*static_cast<TJPEGSession*>(Info->client_data), jcLibrary);
}
extern "C" void OutputMessage(j_common_ptr) {}
extern "C" void EmitMessage(j_common_ptr, int) {}
extern "C" void FormatMessage(j_common_ptr, char* Buffer) { Buffer[0] = 0; }
extern "C" void ResetErrorManager(j_common_ptr Info) {
    Info->err->num_warnings = 0;
    Info->err->msg_code = 0;
}

extern "C" void ProgressMonitor(j_common_ptr Info) {
    TJPEGSession& s = *static_cast<TJPEGSession*>(Info->client_data);
    if (reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number > MaxScans) Jump(s, jcTooManyScans);
    if (s.Report && !s.Report(s)) Jump(s, jcCallback);
}

// Runs Step with the jump point set; answers the jump code, 0 when Step returned. Step holds
// nothing with a destructor while it calls libjpeg.
template <typename... A> int Guarded(TJPEGSession& S, void (*Step)(TJPEGSession&, A...), A... Args) {
    // setjmp stands alone in the condition, one of the forms in which its result is defined.
    if (setjmp(S.Error.Jump) != 0) return S.JumpCode;
    Step(S, Args...);
    return 0;
}

// Raises what a jump code stands for.
void RaiseJump(TJPEGSession& S, int Code) {
    switch (Code) {
    case 0: return;
    case jcCallback:
        if (S.Pending && *S.Pending) std::rethrow_exception(*S.Pending);
        throw EJPEG(Format(SJPEGError, {0}));
    case jcTooManyScans: throw EJPEG(Format(STooManyScans, {MaxScans}));
    default: throw EJPEG(Format(SJPEGError, {S.Error.Pub.msg_code}));
    }
}

// Owns a session and destroys the libjpeg object on every exit path. jpeg_destroy does not fail.
class TSessionHolder {
public:
    TSessionHolder() : FSession(std::make_unique<TJPEGSession>()) {}
    ~TSessionHolder() {
        if (FSession->Created) jpeg_destroy_decompress(&FSession->Info);
    }
    TSessionHolder(const TSessionHolder&) = delete;
    TSessionHolder& operator=(const TSessionHolder&) = delete;
    TJPEGSession& operator*() { return *FSession; }

private:
    std::unique_ptr<TJPEGSession> FSession;
};

void CreateStep(TJPEGSession& S, const uint8_t* Data, size_t Size) {
    S.Info.err = jpeg_std_error(&S.Error.Pub);
    S.Error.Pub.error_exit = ErrorExit;
    S.Error.Pub.output_message = OutputMessage;
    S.Error.Pub.emit_message = EmitMessage;
    S.Error.Pub.format_message = FormatMessage;
    S.Error.Pub.reset_error_mgr = ResetErrorManager;
    jpeg_create_decompress(&S.Info);
    S.Created = true;
    // libjpeg's own working memory (whole-image coefficients of progressive files) is held to the
    // limit of a picture's pixels; past it, libjpeg ends with an error instead of allocating.
    S.Info.mem->max_memory_to_use = long(std::min<uint64_t>(PixelBufferLimit(), uint64_t(LONG_MAX)));
    S.Info.client_data = &S;
    S.Progress.progress_monitor = ProgressMonitor;
    S.Info.progress = &S.Progress;
    // The memory source ends cut data with an end-of-image marker rather than waiting for more.
    jpeg_mem_src(&S.Info, Data, static_cast<unsigned long>(Size));
    jpeg_save_markers(&S.Info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&S.Info, TRUE);
}

// Makes a session with the header of Data read; raises EJPEG on a fatal error.
void OpenSession(TSessionHolder& Holder, const std::vector<uint8_t>& Data) {
    TJPEGSession& s = *Holder;
    RaiseJump(s, Guarded(s, CreateStep, Data.data(), Data.size()));
}

// The Exif orientation of IFD 0, or normal when there is none or it cannot be read.
TJPEGOrientation ReadOrientation(const jpeg_decompress_struct& Info) {
    for (jpeg_saved_marker_ptr m = Info.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 14) continue;
        const std::span<const uint8_t> data(m->data, m->data_length);
        if (std::memcmp(data.data(), "Exif\0\0", 6) != 0) continue;
        try {
            TByteReader r(data.subspan(6));
            const bool little = r.U16LE() == 0x4949;
            auto u16 = [&] { return little ? r.U16LE() : r.U16BE(); };
            auto u32 = [&] { return little ? r.U32LE() : r.U32BE(); };
            if (u16() != 42) continue;
            r.Seek(u32());
            for (uint16_t n = u16(); n > 0; --n) {
                const uint16_t tag = u16(), type = u16();
                u32(); // count
                const uint16_t value = u16();
                u16();
                if (tag == 0x0112 && type == 3 && value >= joNormal && value <= joRotated270)
                    return TJPEGOrientation(value);
            }
        } catch (const Exception&) {
        }
    }
    return joNormal;
}

bool IsCMYK(const jpeg_decompress_struct& Info) {
    return Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
}

struct TDecodeSetup {
    bool Quantize, Buffered, Gray, CMYK;
    J_DCT_METHOD Dct;
    boolean TwoPass;
    J_DITHER_MODE Dither;
};

void ConfigureStep(TJPEGSession& S, const TJPEGDefaults* Settings, TDecodeSetup* Setup) {
    jpeg_decompress_struct& info = S.Info;
    const TJPEGDefaults& set = *Settings;
    TDecodeSetup& d = *Setup;
    info.scale_num = 1;
    info.scale_denom = 1u << set.Scale;
    info.do_block_smoothing = set.Smoothing;
    d.CMYK = IsCMYK(info) && !set.Grayscale;
    if (set.Grayscale) info.out_color_space = JCS_GRAYSCALE;
    d.Gray = info.out_color_space == JCS_GRAYSCALE;
    d.Quantize = !d.CMYK && (set.PixelFormat == jf8Bit || d.Gray);
    if (d.CMYK)
        info.out_color_space = JCS_CMYK;
    else if (!d.Gray)
        info.out_color_space = d.Quantize ? JCS_RGB : JCS_EXT_BGR;
    if (d.Quantize) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = DesiredColors;
    }
    if (set.Performance == jpBestSpeed) {
        info.dct_method = JDCT_IFAST;
        info.two_pass_quantize = FALSE;
        info.dither_mode = JDITHER_ORDERED;
    }
    d.Buffered = set.ProgressiveDisplay && jpeg_has_multiple_scans(&info);
    d.Dct = info.dct_method;
    d.TwoPass = info.two_pass_quantize;
    d.Dither = info.dither_mode;
    if (d.Buffered) {
        info.buffered_image = TRUE;
        if (d.Quantize) {
            info.enable_1pass_quant = TRUE;
            info.enable_2pass_quant = TRUE;
        }
        info.dct_method = JDCT_IFAST;
        info.two_pass_quantize = FALSE;
        info.dither_mode = JDITHER_ORDERED;
    }
    jpeg_calc_output_dimensions(&info);
}

void StartStep(TJPEGSession& S) { jpeg_start_decompress(&S.Info); }

// libjpeg's CMYK: Adobe's writers store the inks inverted, others as they are.
void CMYKToBGR(const uint8_t* Source, uint8_t* Target, uint32_t Count, bool Inverted) {
    for (uint32_t i = 0; i < Count; ++i, Source += 4, Target += 3) {
        uint32_t c = Source[0], m = Source[1], y = Source[2], k = Source[3];
        if (!Inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        Target[0] = uint8_t((y * k + 127) / 255);
        Target[1] = uint8_t((m * k + 127) / 255);
        Target[2] = uint8_t((c * k + 127) / 255);
    }
}

// Reads every row of the current output pass. Rows[i] is the bitmap's row i; CMYK rows pass
// through Scratch (4 bytes a pixel) on their way.
void ReadRowsStep(TJPEGSession& S, uint8_t** Rows, uint8_t* Scratch) {
    jpeg_decompress_struct& info = S.Info;
    while (info.output_scanline < info.output_height) {
        const JDIMENSION row = info.output_scanline;
        if (Scratch) {
            JSAMPROW one[1] = {Scratch};
            if (jpeg_read_scanlines(&info, one, 1) != 1) break;
            CMYKToBGR(Scratch, Rows[row], info.output_width, info.saw_Adobe_marker);
        } else if (jpeg_read_scanlines(&info, Rows + row, info.output_height - row) == 0) {
            break;
        }
    }
}

void StartOutputStep(TJPEGSession& S, const TDecodeSetup* Setup, bool Final) {
    jpeg_decompress_struct& info = S.Info;
    if (Final) {
        info.dct_method = Setup->Dct;
        info.dither_mode = Setup->Dither;
        if (Setup->Quantize && Setup->TwoPass) {
            info.two_pass_quantize = TRUE;
            info.colormap = nullptr;
        }
    }
    jpeg_start_output(&info, info.input_scan_number);
}

void FinishOutputStep(TJPEGSession& S) { jpeg_finish_output(&S.Info); }
void FinishStep(TJPEGSession& S) { jpeg_finish_decompress(&S.Info); }
// Takes in input up to the end of the next scan; More tells whether a scan ended before the end
// of the image, so that it can be shown.
void TakeScanStep(TJPEGSession& S, bool* More) {
    int r;
    do {
        r = jpeg_consume_input(&S.Info);
    } while (r != JPEG_SCAN_COMPLETED && r != JPEG_REACHED_EOI && r != JPEG_SUSPENDED);
    *More = r == JPEG_SCAN_COMPLETED && !jpeg_input_complete(&S.Info);
}
void CalcStep(TJPEGSession& S, uint32_t Denominator) {
    S.Info.scale_num = 1;
    S.Info.scale_denom = Denominator;
    jpeg_calc_output_dimensions(&S.Info);
}

HPALETTE ColormapPalette(const jpeg_decompress_struct& Info) {
    TPaletteEntries entries(size_t(std::clamp(Info.actual_number_of_colors, 0, 256)));
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Info.out_color_components == 1) {
            const uint8_t v = Info.colormap[0][i];
            entries[i] = {v, v, v, 0};
        } else {
            entries[i] = {Info.colormap[0][i], Info.colormap[1][i], Info.colormap[2][i], 0};
        }
    }
    return CreatePalette(std::move(entries));
}

// The bitmap turned by an Exif orientation; bytes a pixel from the format (1, 3 or 4).
void Orient(TBitmap& Bitmap, TJPEGOrientation Orientation) {
    if (Orientation == joNormal || Bitmap.Empty()) return;
    const int32_t w = Bitmap.Width(), h = Bitmap.Height();
    const bool swap = Orientation >= joTransposed;
    TBitmap turned;
    turned.SetPixelFormat(Bitmap.PixelFormat());
    turned.SetPalette(Bitmap.Palette());
    turned.SetSize(swap ? h : w, swap ? w : h);
    const size_t b = size_t(Bitmap.BitsPerPixel() / 8);
    for (int32_t y = 0; y < turned.Height(); ++y) {
        uint8_t* out = turned.ScanLine(y);
        for (int32_t x = 0; x < turned.Width(); ++x) {
            int32_t sx = x, sy = y;
            switch (Orientation) {
            case joMirrored: sx = w - 1 - x; break;
            case joRotated180: sx = w - 1 - x, sy = h - 1 - y; break;
            case joFlipped: sy = h - 1 - y; break;
            case joTransposed: sx = y, sy = x; break;
            case joRotated90: sx = y, sy = h - 1 - x; break;
            case joTransversed: sx = w - 1 - y, sy = h - 1 - x; break;
            case joRotated270: sx = w - 1 - y, sy = x; break;
            default: break;
            }
            std::memcpy(out + size_t(x) * b, Bitmap.ScanLine(sy) + size_t(sx) * b, b);
        }
    }
    Bitmap.Assign(turned);
}

// The progress report, kept out of the jump's way: it catches whatever the handler raises and
// answers false so that the monitor jumps after this frame is gone.
bool ReportProgress(TJPEGSession& S) noexcept {
    try {
        auto* image = static_cast<TJPEGImage*>(S.Owner);
        const jpeg_progress_mgr& p = S.Progress;
        const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
        if (S.LastReport < 0) {
            S.LastReport = now;
            return true;
        }
        if (now - S.LastReport < 500 || p.pass_limit <= 0 || p.total_passes <= 0) return true;
        const int percent =
            int((double(p.pass_counter) / double(p.pass_limit) + p.completed_passes) * 100 / p.total_passes);
        if (percent == S.LastPercent) return true;
        S.LastReport = now;
        S.LastPercent = percent;
        image->Progress(image, psRunning, uint8_t(std::clamp(percent, 0, 100)), false, TRect{}, "");
        return true;
    } catch (...) {
        *S.Pending = std::current_exception();
        return false;
    }
}

} // namespace

TJPEGDefaults& JPEGDefaults() {
    static TJPEGDefaults defaults;
    return defaults;
}

TJPEGImage::TJPEGImage() : FSettings(JPEGDefaults()) {}
TJPEGImage::~TJPEGImage() = default;

bool TJPEGImage::Empty() const {
    if (FDataRead) return false;
    return !FBitmap || FBitmap->Empty();
}

bool TJPEGImage::Turned() const {
    return FData && FSettings.ExifOrientation && FData->Orientation >= joTransposed;
}

void TJPEGImage::ScaledSize(int32_t& W, int32_t& H) const {
    if (FBitmap) {
        W = FBitmap->Width();
        H = FBitmap->Height();
        return;
    }
    if (!FData) {
        W = H = 0;
        return;
    }
    if (FSettings.Scale == jsFullSize) {
        W = FData->Width;
        H = FData->Height;
    } else {
        if (FScaledSizeStale) {
            FScaledWidth = FScaledHeight = 0;
            TSessionHolder holder;
            try {
                OpenSession(holder, FData->Data);
                TJPEGSession& s = *holder;
                RaiseJump(s, Guarded(s, CalcStep, uint32_t(1u << FSettings.Scale)));
                FScaledWidth = int32_t(s.Info.output_width);
                FScaledHeight = int32_t(s.Info.output_height);
            } catch (const EJPEG&) {
            }
            FScaledSizeStale = false;
        }
        W = FScaledWidth;
        H = FScaledHeight;
    }
    if (Turned()) std::swap(W, H);
}

int32_t TJPEGImage::Width() const {
    int32_t w, h;
    ScaledSize(w, h);
    return w;
}

int32_t TJPEGImage::Height() const {
    int32_t w, h;
    ScaledSize(w, h);
    return h;
}

void TJPEGImage::SetWidth(int32_t) { throw EInvalidGraphicOperation(SChangeSize); }
void TJPEGImage::SetHeight(int32_t) { throw EInvalidGraphicOperation(SChangeSize); }

HPALETTE TJPEGImage::Palette() const { return FBitmap ? FBitmap->Palette() : nullptr; }

void TJPEGImage::FreeBitmap() { FBitmap.reset(); }

const TBitmap& TJPEGImage::Bitmap() {
    if (!FBitmap) Decode();
    return *FBitmap;
}

void TJPEGImage::Draw(TCanvas& Canvas, const TRect& Rect) {
    const TBitmap& b = Bitmap();
    if (!b.Empty()) Canvas.StretchBitmap(Rect, b, TRect{0, 0, b.Width(), b.Height()});
}

void TJPEGImage::LoadFromStream(TStream& Stream) { ReadStream(Stream, Stream.Size() - Stream.Position()); }

void TJPEGImage::ReadData(TStream& Stream) {
    uint8_t count[4];
    Stream.ReadBuffer(count, 4);
    ReadStream(Stream, LoadU32LE(count));
}

void TJPEGImage::ReadStream(TStream& Stream, int64_t Size) {
    auto data = std::make_shared<TJPEGData>();
    FBitmap.reset();
    FData.reset();
    FDataRead = false;
    FScaledSizeStale = true;
    // A count past what the stream holds fails before a buffer of that size is made.
    if (Size < 0 || Size > Stream.Size() - Stream.Position()) throw EReadError("Stream read error");
    data->Data.resize(size_t(Size));
    Stream.ReadBuffer(data->Data.data(), data->Data.size());
    if (Size > 0) {
        TSessionHolder holder;
        OpenSession(holder, data->Data);
        TJPEGSession& s = *holder;
        data->Width = int32_t(s.Info.image_width);
        data->Height = int32_t(s.Info.image_height);
        data->Grayscale = s.Info.jpeg_color_space == JCS_GRAYSCALE;
        data->Orientation = ReadOrientation(s.Info);
        FSettings.ProgressiveEncoding = jpeg_has_multiple_scans(&s.Info);
    }
    FData = std::move(data);
    FDataRead = true;
    // Decoded now, so that damaged data fails the load and the previous picture stays, rather
    // than failing at every paint. An empty file has nothing to decode until it is drawn.
    if (Size > 0) Decode();
    Changed(this);
}

void TJPEGImage::Decode() {
    auto bitmap = std::make_unique<TBitmap>();
    const std::vector<uint8_t> none;
    const std::vector<uint8_t>& bytes = FData ? FData->Data : none;
    TSessionHolder holder;
    std::exception_ptr pending;
    bool ok = false;
    TRect all{0, 0, Width(), Height()};
    Progress(this, psStarting, 0, false, all, "");
    struct TEnd {
        TJPEGImage& Image;
        const bool& Ok;
        TRect R;
        ~TEnd() { Image.Progress(&Image, psEnding, Ok ? 100 : 0, false, R, ""); }
    } end{*this, ok, all};

    OpenSession(holder, bytes);
    TJPEGSession& s = *holder;
    s.Owner = this;
    s.Pending = &pending;
    s.Report = ReportProgress;
    TDecodeSetup setup{};
    RaiseJump(s, Guarded(s, ConfigureStep, static_cast<const TJPEGDefaults*>(&FSettings), &setup));
    // A picture past the pixel-buffer limit is refused before libjpeg sets up its buffers.
    CheckPixelBufferSize(s.Info.output_width, s.Info.output_height, setup.Quantize ? 8 : 24);
    RaiseJump(s, Guarded(s, StartStep));

    bitmap->SetPixelFormat(setup.Quantize ? pf8bit : pf24bit);
    bitmap->SetSize(CheckedCast<int32_t>(s.Info.output_width), CheckedCast<int32_t>(s.Info.output_height));
    std::vector<uint8_t*> rows(size_t(bitmap->Height()));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = bitmap->ScanLine(int32_t(y));
    std::vector<uint8_t> scratch(setup.CMYK ? size_t(CheckedMul(s.Info.output_width, 4)) : 0);
    uint8_t* scratchRow = setup.CMYK ? scratch.data() : nullptr;

    if (setup.Buffered) {
        for (int pass = 0; pass < MaxScans; ++pass) {
            bool more = false;
            RaiseJump(s, Guarded(s, TakeScanStep, &more));
            if (!more) break;
            RaiseJump(s, Guarded(s, StartOutputStep, static_cast<const TDecodeSetup*>(&setup), false));
            if (setup.Quantize) bitmap->SetPalette(ColormapPalette(s.Info));
            RaiseJump(s, Guarded(s, ReadRowsStep, rows.data(), scratchRow));
            RaiseJump(s, Guarded(s, FinishOutputStep));
            Progress(this, psRunning, 0, true, all, "");
        }
        RaiseJump(s, Guarded(s, StartOutputStep, static_cast<const TDecodeSetup*>(&setup), true));
        if (setup.Quantize) bitmap->SetPalette(ColormapPalette(s.Info));
        RaiseJump(s, Guarded(s, ReadRowsStep, rows.data(), scratchRow));
        RaiseJump(s, Guarded(s, FinishOutputStep));
    } else {
        if (setup.Quantize) bitmap->SetPalette(ColormapPalette(s.Info));
        RaiseJump(s, Guarded(s, ReadRowsStep, rows.data(), scratchRow));
    }
    RaiseJump(s, Guarded(s, FinishStep));
    if (FSettings.ExifOrientation && FData) Orient(*bitmap, FData->Orientation);
    FBitmap = std::move(bitmap);
    ok = true;
}

void TJPEGImage::SaveToStream(TStream& Stream) {
    if (FData && !FData->Data.empty()) Stream.WriteBuffer(FData->Data.data(), FData->Data.size());
}

void TJPEGImage::Assign(const TObject& Source) {
    if (const auto* other = dynamic_cast<const TJPEGImage*>(&Source)) {
        if (other == this) return;
        FData = other->FData;
        FDataRead = other->FDataRead;
        FSettings = other->FSettings;
        FBitmap = other->FBitmap ? std::make_unique<TBitmap>() : nullptr;
        if (FBitmap) FBitmap->Assign(*other->FBitmap);
        FScaledSizeStale = true;
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

bool TJPEGImage::AssignTo(TObject& Dest) const {
    auto* bitmap = dynamic_cast<TBitmap*>(&Dest);
    if (!bitmap) return false;
    bitmap->Assign(const_cast<TJPEGImage*>(this)->Bitmap());
    return true;
}

} // namespace ferronel
