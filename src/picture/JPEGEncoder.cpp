// libjpeg ends a fatal error in a callback that must not return; it jumps back to the setjmp in
// CompressGuarded. The step it guards holds only plain data (the row pointers are made before it, the
// output buffer belongs to the session), so no destructor is skipped.
#include "picture/JPEGEncoder.h"

#include "host/Bitmap.h"
#include "host/Format.h"
#include "host/Stream.h"
#include "linear/JPEGLoader.h"
#include "picture/JPEGImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace ferronel {

namespace {

const char* const SJPEGWriteError = "JPEG error #%d";

// One compression. Plain data only, so the jump may cross the frame that holds it.
struct TCompressSession {
    jpeg_compress_struct Info;
    jpeg_error_mgr Error;
    jpeg_destination_mgr Destination;
    std::jmp_buf Jump;
    bool Created = false;
    // The encoding, grown with realloc by the destination below. It always points at the live
    // buffer, so it can be freed whatever step failed.
    unsigned char* Out = nullptr;
    size_t OutCapacity = 0;
    size_t OutSize = 0;
};

TCompressSession& SessionOf(j_compress_ptr Info) {
    return *static_cast<TCompressSession*>(Info->client_data);
}

extern "C" void FailOutOfMemory(j_compress_ptr Info) {
    Info->err->msg_code = JERR_OUT_OF_MEMORY;
    Info->err->error_exit(reinterpret_cast<j_common_ptr>(Info));
}

extern "C" void InitDestination(j_compress_ptr Info) {
    TCompressSession& s = SessionOf(Info);
    constexpr size_t first = 64 * 1024;
    s.Out = static_cast<unsigned char*>(std::malloc(first));
    if (!s.Out) FailOutOfMemory(Info);
    s.OutCapacity = first;
    s.Destination.next_output_byte = s.Out;
    s.Destination.free_in_buffer = first;
}

extern "C" boolean EmptyOutputBuffer(j_compress_ptr Info) {
    TCompressSession& s = SessionOf(Info);
    const size_t grown = s.OutCapacity * 2;
    auto* bigger = static_cast<unsigned char*>(std::realloc(s.Out, grown));
    if (!bigger) FailOutOfMemory(Info); // the old buffer stays in the session
    s.Out = bigger;
    s.Destination.next_output_byte = bigger + s.OutCapacity;
    s.Destination.free_in_buffer = grown - s.OutCapacity;
    s.OutCapacity = grown;
    return TRUE;
}

extern "C" void TermDestination(j_compress_ptr Info) {
    TCompressSession& s = SessionOf(Info);
    s.OutSize = s.OutCapacity - s.Destination.free_in_buffer;
}

extern "C" void CompressErrorExit(j_common_ptr Info) {
    std::longjmp(static_cast<TCompressSession*>(Info->client_data)->Jump, 1);
}
extern "C" void CompressOutputMessage(j_common_ptr) {}
extern "C" void CompressEmitMessage(j_common_ptr, int) {}

void CompressStep(TCompressSession& S, JSAMPROW* Rows, int32_t Width, int32_t Height, int32_t Quality,
                  bool Grey) {
    S.Info.err = jpeg_std_error(&S.Error);
    S.Error.error_exit = CompressErrorExit;
    S.Error.output_message = CompressOutputMessage;
    S.Error.emit_message = CompressEmitMessage;
    // Set before creation, which keeps it, so that a failure while creating finds the session.
    S.Info.client_data = &S;
    jpeg_create_compress(&S.Info);
    S.Created = true;
    S.Destination.init_destination = InitDestination;
    S.Destination.empty_output_buffer = EmptyOutputBuffer;
    S.Destination.term_destination = TermDestination;
    S.Info.dest = &S.Destination;
    S.Info.image_width = JDIMENSION(Width);
    S.Info.image_height = JDIMENSION(Height);
    S.Info.input_components = Grey ? 1 : 3;
    S.Info.in_color_space = Grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&S.Info);
    jpeg_set_quality(&S.Info, Quality, TRUE);
    jpeg_start_compress(&S.Info, TRUE);
    while (S.Info.next_scanline < S.Info.image_height)
        jpeg_write_scanlines(&S.Info, Rows + S.Info.next_scanline,
                             S.Info.image_height - S.Info.next_scanline);
    jpeg_finish_compress(&S.Info);
}

bool CompressGuarded(TCompressSession& S, JSAMPROW* Rows, int32_t Width, int32_t Height, int32_t Quality,
                     bool Grey) {
    // setjmp stands alone in the condition, one of the forms in which its result is defined.
    if (setjmp(S.Jump) != 0) return false;
    CompressStep(S, Rows, Width, Height, Quality, Grey);
    return true;
}

// Destroys the libjpeg object and frees its output on every exit path.
class TCompressHolder {
public:
    TCompressHolder() : FSession(std::make_unique<TCompressSession>()) {}
    ~TCompressHolder() {
        if (FSession->Created) jpeg_destroy_compress(&FSession->Info);
        std::free(FSession->Out);
    }
    TCompressHolder(const TCompressHolder&) = delete;
    TCompressHolder& operator=(const TCompressHolder&) = delete;
    TCompressSession& operator*() { return *FSession; }

private:
    std::unique_ptr<TCompressSession> FSession;
};

} // namespace

void EncodeJPEG(const TBitmap& Bitmap, int32_t Quality, bool Grey, TStream& Stream) {
    if (Bitmap.Empty() || Bitmap.PixelFormat() != pf24bit) throw EJPEG(Format(SJPEGWriteError, {0}));
    const int32_t width = Bitmap.Width();
    const int32_t height = Bitmap.Height();
    std::vector<uint8_t> grey(Grey ? size_t(width) * size_t(height) : 0);
    std::vector<JSAMPROW> rows(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* line = Bitmap.ScanLine(y);
        if (Grey) {
            uint8_t* g = grey.data() + size_t(y) * size_t(width);
            for (int32_t x = 0; x < width; ++x) g[x] = line[size_t(x) * 3 + 1];
            rows[size_t(y)] = g;
        } else {
            rows[size_t(y)] = const_cast<uint8_t*>(line);
        }
    }
    TCompressHolder holder;
    TCompressSession& s = *holder;
    if (!CompressGuarded(s, rows.data(), width, height, std::clamp(Quality, 1, 100), Grey))
        throw EJPEG(Format(SJPEGWriteError, {s.Error.msg_code}));
    Stream.WriteBuffer(s.Out, s.OutSize);
}

void InstallLinearJPEGCodec() {
    linear::TJPEGCodec codec;
    codec.Decode = [](TStream& Stream, TBitmap& Bitmap) {
        TJPEGImage jpeg;
        jpeg.SetPerformance(jpBestQuality);
        jpeg.SetScale(jsFullSize);
        jpeg.SetPixelFormat(jf24Bit);
        jpeg.LoadFromStream(Stream);
        Bitmap.Assign(jpeg.Bitmap());
        return jpeg.Data() && jpeg.Data()->Grayscale;
    };
    codec.Encode = EncodeJPEG;
    codec.DefaultQuality = [] { return JPEGDefaults().CompressionQuality; };
    linear::SetJPEGCodec(std::move(codec));
}

void RemoveLinearJPEGCodec() { linear::SetJPEGCodec({}); }

} // namespace ferronel
