// Inflating the same data with this library's deflate stream, with zlib's inflate and with
// libdeflate, in the same run: the filtered rows of a 24-megapixel (6000 x 4000) RGB picture and a
// large text, both deflated by zlib at level 6. Build with -DFERRONEL_BENCH=ON (needs zlib and
// libdeflate-dev).
#include "linear/DeflateStream.h"
#include "linear/MemStream.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace ferronel::linear;
using Bytes = std::vector<uint8_t>;

// A smooth picture with grain, stored as rows with the Sub filter, as a picture file would hold it.
Bytes PictureRows() {
    constexpr int Width = 6000, Height = 4000;
    Bytes out;
    out.reserve(size_t(Height) * (Width * 3 + 1));
    std::mt19937 random(3);
    Bytes row(Width * 3);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const double v = 96 + 60 * std::sin(x / 310.0 + y / 270.0) + 40 * std::cos(x * y / 900000.0);
            const int grain = int(random() % 7) - 3;
            row[size_t(x) * 3] = uint8_t(std::clamp(int(v) + grain, 0, 255));
            row[size_t(x) * 3 + 1] = uint8_t(std::clamp(int(v * 0.8 + 30) + grain, 0, 255));
            row[size_t(x) * 3 + 2] = uint8_t(std::clamp(int(255 - v) + grain, 0, 255));
        }
        out.push_back(1);
        for (size_t i = 0; i < row.size(); ++i) out.push_back(uint8_t(row[i] - (i >= 3 ? row[i - 3] : 0)));
    }
    return out;
}

// 32 MB of words from a vocabulary of a few thousand, drawn with a skewed frequency.
Bytes LargeText() {
    std::mt19937 random(5);
    std::vector<std::string> words;
    for (int i = 0; i < 4000; ++i) {
        std::string w;
        const int length = 2 + int(random() % 9);
        for (int k = 0; k < length; ++k) w.push_back(char('a' + random() % 26));
        words.push_back(w);
    }
    Bytes out;
    while (out.size() < (32u << 20)) {
        const double u = double(random()) / random.max();
        const std::string& w = words[size_t(std::pow(u, 3.0) * 3999)];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(random() % 13 == 0 ? '\n' : ' ');
    }
    return out;
}

Bytes Deflate(const Bytes& Raw) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, uLong(Raw.size())));
    z.next_in = const_cast<Bytef*>(Raw.data());
    z.avail_in = uInt(Raw.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

struct TCase {
    Bytes Raw, Packed;
};
const TCase& Case(int Which) {
    static const TCase picture = [] {
        TCase c{PictureRows(), {}};
        c.Packed = Deflate(c.Raw);
        return c;
    }();
    static const TCase text = [] {
        TCase c{LargeText(), {}};
        c.Packed = Deflate(c.Raw);
        return c;
    }();
    return Which == 0 ? picture : text;
}

void Own(benchmark::State& State) {
    const TCase& c = Case(int(State.range(0)));
    Bytes out(c.Raw.size());
    TMemStream source;
    source.Write(c.Packed.data(), int32_t(c.Packed.size()));
    for (auto _ : State) {
        source.SetPosition(0);
        TDeflateStream inflate(source, TDeflateStream::dmDecompress);
        // Rows of a picture are read a few kilobytes at a time.
        for (size_t done = 0; done < out.size();) {
            const int32_t n = int32_t(std::min<size_t>(18001, out.size() - done));
            inflate.Read(out.data() + done, n);
            done += size_t(n);
        }
        benchmark::DoNotOptimize(out.data());
    }
    if (out != c.Raw) State.SkipWithError("wrong bytes");
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(c.Raw.size()));
}

void Zlib(benchmark::State& State) {
    const TCase& c = Case(int(State.range(0)));
    Bytes out(c.Raw.size());
    for (auto _ : State) {
        z_stream z{};
        inflateInit2(&z, -15);
        z.next_in = const_cast<Bytef*>(c.Packed.data());
        z.avail_in = uInt(c.Packed.size());
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) State.SkipWithError("zlib");
        inflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(c.Raw.size()));
}

void Libdeflate(benchmark::State& State) {
    const TCase& c = Case(int(State.range(0)));
    Bytes out(c.Raw.size());
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    for (auto _ : State) {
        if (libdeflate_deflate_decompress(d, c.Packed.data(), c.Packed.size(), out.data(), out.size(),
                                          nullptr) != LIBDEFLATE_SUCCESS)
            State.SkipWithError("libdeflate");
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_decompressor(d);
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(c.Raw.size()));
}

// Argument 0: picture rows; 1: text.
BENCHMARK(Own)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Zlib)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Libdeflate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
