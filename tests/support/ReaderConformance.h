// The conformance suite every picture reader joins. A reader supplies a traits struct:
//
//   struct TTargaConformance {
//       using Graphic = TTargaGraphic;          // the class loaded through LoadFromStream
//       static constexpr const char* Folder = "tga";       // fixtures in tests/data/tga ...
//       static constexpr const char* Extension = ".tga";   // ... named *.tga, each with NAME.pam
//       static constexpr size_t HeaderSize = 18;  // CanLoad answers false on anything shorter
//       static constexpr uint32_t MaxSide = 65535;         // the largest side the header can state
//       static std::vector<uint8_t> WithSize(uint32_t Width, uint32_t Height); // a file of that size
//       static int ComparedBits(const std::string& Fixture); // channel bits compared (8 = all)
//   };
//
// and joins with one line:
//
//   FERRONEL_READER_CONFORMANCE(Targa, ferronel::TTargaConformance)   // at file scope
//
// The suite checks what every reader owes its callers: CanLoad keeps the stream position and
// answers false on empty and short input; every prefix of every fixture either loads or raises the
// system's own exception; a second file loaded into the same object gives what a fresh object
// gives; zero sizes load empty or are refused, sizes past the pixel-buffer limit are refused; the
// pixels of each fixture equal its reference.
#pragma once

#include "host/Bitmap.h"
#include "host/Exceptions.h"
#include "host/RenderBitmap.h"
#include "host/Stream.h"
#include "support/LimitGuard.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace ferronel::test {

struct TFixture {
    std::string Name; // base name, for messages
    std::vector<uint8_t> Bytes;
    std::string Reference; // path of the reference PAM, empty when there is none
};

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file with the extension in tests/data/FOLDER, sorted by name.
inline std::vector<TFixture> Fixtures(const std::string& Folder, const std::string& Extension) {
    std::vector<TFixture> all;
    for (const auto& entry : std::filesystem::directory_iterator(DataPath(Folder))) {
        if (entry.path().extension() != Extension) continue;
        TFixture f;
        f.Name = entry.path().filename().string();
        f.Bytes = ReadFileBytes(entry.path());
        std::filesystem::path pam = entry.path();
        pam.replace_extension(".pam");
        if (std::filesystem::exists(pam)) f.Reference = pam.string();
        all.push_back(std::move(f));
    }
    std::sort(all.begin(), all.end(), [](const TFixture& a, const TFixture& b) { return a.Name < b.Name; });
    return all;
}

// The picture as straight RGBA bytes, opaque unless the bitmap carries opacity.
inline std::vector<uint8_t> Rgba(TGraphic& Graphic) {
    TBitmap bitmap;
    RenderToBitmap(Graphic, bitmap);
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t(bitmap.Width()) * size_t(bitmap.Height()) * 4);
    const bool alpha = bitmap.AlphaFormat() == afDefined;
    for (int32_t y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* p = bitmap.ScanLine(y);
        for (int32_t x = 0; x < bitmap.Width(); ++x, p += 4)
            rgba.insert(rgba.end(), {p[2], p[1], p[0], alpha ? p[3] : uint8_t(255)});
    }
    return rgba;
}

template <class Traits>
std::unique_ptr<typename Traits::Graphic> LoadBytes(const std::vector<uint8_t>& Bytes) {
    auto graphic = std::make_unique<typename Traits::Graphic>();
    TMemoryStream stream(Bytes);
    graphic->LoadFromStream(stream);
    return graphic;
}

// Lengths of the prefixes tried: all of a small file, a sample of a large one.
inline std::vector<size_t> PrefixLengths(size_t Size) {
    std::vector<size_t> lengths;
    if (Size <= 2048) {
        for (size_t n = 0; n < Size; ++n) lengths.push_back(n);
        return lengths;
    }
    for (size_t n = 0; n < 512; ++n) lengths.push_back(n);
    for (size_t i = 0; i < 256; ++i) lengths.push_back(512 + (Size - 512) * i / 256);
    return lengths;
}

template <class Traits> class ReaderConformance : public ::testing::Test {
protected:
    static std::vector<TFixture> All() { return Fixtures(Traits::Folder, Traits::Extension); }
};

TYPED_TEST_SUITE_P(ReaderConformance);

TYPED_TEST_P(ReaderConformance, CanLoadKeepsThePositionAndRefusesShortInput) {
    using Graphic = typename TypeParam::Graphic;
    if constexpr (requires(const Graphic& g, TStream& s) { g.CanLoad(s); }) {
        const Graphic graphic;
        for (const TFixture& f : this->All()) {
            // Behind some other bytes, so a reader that rewinds to 0 is caught too.
            std::vector<uint8_t> bytes(7 + f.Bytes.size(), 0xA5);
            for (size_t i = 0; i < f.Bytes.size(); ++i) bytes[7 + i] = f.Bytes[i];
            TMemoryStream stream(bytes);
            stream.SetPosition(7);
            graphic.CanLoad(stream);
            EXPECT_EQ(stream.Position(), 7) << f.Name;
            for (size_t n = 0; n <= std::min(TypeParam::HeaderSize, f.Bytes.size()); ++n) {
                TMemoryStream prefix(f.Bytes.data(), n);
                EXPECT_FALSE(graphic.CanLoad(prefix)) << f.Name << " cut to " << n << " bytes";
                EXPECT_EQ(prefix.Position(), 0) << f.Name << " cut to " << n << " bytes";
            }
        }
    } else {
        GTEST_SKIP() << "the reader has no CanLoad";
    }
}

TYPED_TEST_P(ReaderConformance, EveryPrefixLoadsOrRaisesTheSystemsOwnError) {
    for (const TFixture& f : this->All()) {
        for (const size_t n : PrefixLengths(f.Bytes.size())) {
            const std::vector<uint8_t> prefix(f.Bytes.begin(), f.Bytes.begin() + ptrdiff_t(n));
            try {
                LoadBytes<TypeParam>(prefix);
            } catch (const Exception&) {
            } catch (const std::exception& e) {
                ADD_FAILURE() << f.Name << " cut to " << n << " bytes raised a foreign error: " << e.what();
            }
        }
    }
}

TYPED_TEST_P(ReaderConformance, ASecondFileGivesWhatAFreshObjectGives) {
    const std::vector<TFixture> all = this->All();
    ASSERT_GE(all.size(), 2u);
    for (size_t i = 0; i < all.size(); ++i) {
        const TFixture& first = all[i];
        const TFixture& second = all[(i + 1) % all.size()];
        typename TypeParam::Graphic reused;
        TMemoryStream a(first.Bytes), b(second.Bytes);
        reused.LoadFromStream(a);
        reused.LoadFromStream(b);
        const auto fresh = LoadBytes<TypeParam>(second.Bytes);
        EXPECT_EQ(reused.Width(), fresh->Width()) << first.Name << " then " << second.Name;
        EXPECT_EQ(reused.Height(), fresh->Height()) << first.Name << " then " << second.Name;
        EXPECT_EQ(Rgba(reused), Rgba(*fresh)) << first.Name << " then " << second.Name;
        if constexpr (std::is_base_of_v<TBitmap, typename TypeParam::Graphic>) {
            EXPECT_EQ(reused.PixelFormat(), fresh->PixelFormat()) << first.Name << " then " << second.Name;
            EXPECT_EQ(reused.AlphaFormat(), fresh->AlphaFormat()) << first.Name << " then " << second.Name;
            EXPECT_EQ(reused.EffectivePalette(), fresh->EffectivePalette())
                << first.Name << " then " << second.Name;
        }
    }
}

TYPED_TEST_P(ReaderConformance, ZeroSizesLoadEmptyOrAreRefusedAndHugeOnesAreRefused) {
    for (const auto& [w, h] : {std::pair<uint32_t, uint32_t>{0, 0}, {0, 3}, {3, 0}}) {
        try {
            const auto graphic = LoadBytes<TypeParam>(TypeParam::WithSize(w, h));
            EXPECT_TRUE(graphic->Empty()) << w << " x " << h;
        } catch (const Exception&) {
        }
    }
    // The largest picture the header can state passes the default limit; a small limit refuses a
    // small picture. Both before anything large is allocated.
    const uint32_t side = TypeParam::MaxSide;
    EXPECT_THROW(LoadBytes<TypeParam>(TypeParam::WithSize(side, side)), EInvalidGraphic);
    const TPixelBufferLimitGuard limit(1024);
    EXPECT_THROW(LoadBytes<TypeParam>(TypeParam::WithSize(64, 64)), EInvalidGraphic);
}

TYPED_TEST_P(ReaderConformance, PixelsEqualTheReference) {
    size_t compared = 0;
    for (const TFixture& f : this->All()) {
        if (f.Reference.empty()) continue;
        const auto graphic = LoadBytes<TypeParam>(f.Bytes);
        const std::vector<uint8_t> ours = Rgba(*graphic);
        const TPam reference = ReadPam(f.Reference);
        ASSERT_EQ(graphic->Width(), reference.Width) << f.Name;
        ASSERT_EQ(graphic->Height(), reference.Height) << f.Name;
        ASSERT_EQ(reference.Depth, 4) << f.Name;
        ASSERT_EQ(ours.size(), reference.Pixels.size()) << f.Name;
        // Decoders widen short channels differently; compare the bits the file stores.
        const int shift = 8 - TypeParam::ComparedBits(f.Name);
        for (size_t i = 0; i < ours.size(); ++i) {
            const int s = i % 4 == 3 ? 0 : shift;
            ASSERT_EQ(int(ours[i]) >> s, int(reference.Pixels[i]) >> s)
                << f.Name << ": pixel (" << (i / 4) % size_t(reference.Width) << ", "
                << (i / 4) / size_t(reference.Width) << ") channel " << i % 4;
        }
        ++compared;
    }
    EXPECT_GT(compared, 0u);
}

REGISTER_TYPED_TEST_SUITE_P(ReaderConformance, CanLoadKeepsThePositionAndRefusesShortInput,
                            EveryPrefixLoadsOrRaisesTheSystemsOwnError, ASecondFileGivesWhatAFreshObjectGives,
                            ZeroSizesLoadEmptyOrAreRefusedAndHugeOnesAreRefused, PixelsEqualTheReference);

} // namespace ferronel::test

#define FERRONEL_READER_CONFORMANCE(Prefix, Traits)                                                          \
    namespace ferronel::test {                                                                               \
    INSTANTIATE_TYPED_TEST_SUITE_P(Prefix, ReaderConformance, Traits);                                       \
    }
