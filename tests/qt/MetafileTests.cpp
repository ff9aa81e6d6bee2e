#include "host/Canvas.h"
#include "host/Exceptions.h"
#include "host/formats/Metafile.h"
#include "host/Stream.h"
#include "qt/MetafilePlayer.h"
#include "support/Bitmaps.h"
#include "support/MetafileBuilder.h"

#include <gtest/gtest.h>

namespace ferronel::qt {
namespace {

using test::TEmfBuilder;
using test::TWmfBuilder;
using Bytes = std::vector<uint8_t>;

std::unique_ptr<TMetafile> Load(const Bytes& file) {
    TMemoryStream s(file);
    auto m = std::make_unique<TMetafile>();
    m->LoadFromStream(s);
    return m;
}

// Plays the file into a black size x size bitmap.
std::unique_ptr<TBitmap> Render(const Bytes& file, int32_t size) {
    InstallMetafilePlayer();
    auto m = Load(file);
    auto b = test::MakeBitmap(pf32bit, size, size);
    b->Canvas().BrushColor = clBlack;
    b->Canvas().FillRect(TRect{0, 0, size, size});
    m->Draw(b->Canvas(), TRect{0, 0, size, size});
    return b;
}

// The colour at a point of the 100 x 100 logical picture, as 0xRRGGBB.
uint32_t At(const TBitmap& b, double x, double y) {
    const int32_t px = int32_t(x * b.Width() / 100), py = int32_t(y * b.Height() / 100);
    const uint8_t* p = b.ScanLine(py) + 4 * px;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// How many pixels of a logical box have the colour.
int Count(const TBitmap& b, double l, double t, double r, double bottom, uint32_t colour) {
    int n = 0;
    for (int32_t y = int32_t(t * b.Height() / 100); y < int32_t(bottom * b.Height() / 100); ++y)
        for (int32_t x = int32_t(l * b.Width() / 100); x < int32_t(r * b.Width() / 100); ++x) {
            const uint8_t* p = b.ScanLine(y) + 4 * x;
            n += (uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]) == colour;
        }
    return n;
}

constexpr uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF, Black = 0;

// A 2 x 1 24-bit device-independent bitmap: red, green.
Bytes TwoPixelDib() {
    Bytes dib;
    for (uint32_t v : {40u, 2u, 1u}) TWmfBuilder::Put32(dib, v);
    TWmfBuilder::Put16(dib, 1);
    TWmfBuilder::Put16(dib, 24);
    for (int i = 0; i < 6; ++i) TWmfBuilder::Put32(dib, 0);
    for (uint8_t v : {0, 0, 255, 0, 255, 0, 0, 0}) dib.push_back(v);
    return dib;
}

Bytes WmfScene() {
    TWmfBuilder w;
    w.Rec(0x020B, {0, 0}).Rec(0x020C, {100, 100});     // window origin and extent
    w.Rec(0x02FA, {5, 0, 0, 0, 0}).Rec(0x012D, {0});   // null pen, slot 0
    w.Rec(0x02FC, {0, 0x00FF, 0, 0}).Rec(0x012D, {1}); // red brush, slot 1
    w.Rec(0x041B, {40, 40, 10, 10});                   // rectangle 10,10-40,40
    w.Rec(0x02FC, {0, 0, 0x00FF, 0}).Rec(0x012D, {2}); // blue brush, slot 2
    w.Rec(0x0418, {40, 90, 10, 60});                   // ellipse 60,10-90,40
    w.Rec(0x001E, {}).Rec(0x02FC, {0, 0xFF00, 0, 0}).Rec(0x012D, {3}).Rec(0x0127, {-1}); // green, undone
    w.Rec(0x041B, {20, 55, 10, 45});                                                     // still blue
    w.Rec(0x02FA, {0, 4, 0, 0xFFFF, 0x00FF}).Rec(0x012D, {4});                           // white pen 4 wide
    w.Rec(0x0214, {50, 10}).Rec(0x0213, {50, 90});                                       // line 10,50-90,50
    w.Rec(0x012D, {0}).Rec(0x012D, {1});                                // null pen, red brush
    w.Rec(0x0324, {3, 10, 60, 40, 60, 25, 90});                         // triangle
    w.Rec(0x012D, {2}).Rec(0x081A, {60, 75, 75, 90, 90, 90, 60, 60});   // blue pie, top-right quarter
    w.Rec(0x0102, {1}).Rec(0x02FC, {2, 0xFF00, 0, 4}).Rec(0x012D, {5}); // transparent, green cross hatch
    w.Rec(0x041B, {88, 55, 65, 45});
    w.Rec(0x01F0, {5}); // delete the hatch brush
    Bytes font(18, 0);
    font[0] = uint8_t(-9), font[1] = 0xFF; // height -9
    font[8] = 0xBC, font[9] = 0x02;        // weight 700
    for (char c : std::string("DejaVu Sans")) font.push_back(uint8_t(c));
    font.push_back(0);
    w.Bytes(0x02FB, font).Rec(0x012D, {5});
    w.Rec(0x0209, {0xFFFF, 0x00FF});                 // white text
    w.Bytes(0x0521, {2, 0, 'H', 'H', 91, 0, 60, 0}); // TextOut "HH" at 60,91
    Bytes stretch;
    for (int v : {0x0020, 0x00CC, 0, 1, 2, 0, 0, 20, 8, 10, 92}) TWmfBuilder::Put16(stretch, uint16_t(v));
    const Bytes dib = TwoPixelDib();
    stretch.insert(stretch.end(), dib.begin(), dib.end());
    w.Bytes(0x0F43, stretch); // StretchDIB into 92,10-100,30
    return w.File(true);
}

TEST(WmfPlayer, SceneAtTwoSizes) {
    for (int32_t size : {100, 200}) {
        const auto b = Render(WmfScene(), size);
        SCOPED_TRACE(size);
        EXPECT_EQ(At(*b, 25, 25), Red);
        EXPECT_EQ(At(*b, 5, 5), Black);
        EXPECT_EQ(At(*b, 75, 25), Blue);
        EXPECT_EQ(At(*b, 61, 11), Black); // outside the ellipse, inside its box
        EXPECT_EQ(At(*b, 50, 15), Blue);  // the saved state's green brush was undone
        EXPECT_EQ(At(*b, 50, 50), White);
        EXPECT_EQ(At(*b, 50, 56), Black);
        EXPECT_EQ(At(*b, 25, 70), Red);
        EXPECT_EQ(At(*b, 12, 85), Black);
        EXPECT_EQ(At(*b, 82, 68), Blue);
        EXPECT_EQ(At(*b, 68, 82), Black);
        const int hatch = Count(*b, 45, 65, 55, 88, Green);
        EXPECT_GT(hatch, 0);
        EXPECT_LT(hatch, Count(*b, 45, 65, 55, 88, Green) + Count(*b, 45, 65, 55, 88, Black));
        EXPECT_EQ(Count(*b, 45, 65, 55, 88, White), 0);   // transparent background: the gaps stay black
        EXPECT_GT(Count(*b, 58, 90, 100, 100, White), 0); // the text
        EXPECT_EQ(At(*b, 93, 20), Red);
        EXPECT_EQ(At(*b, 98, 20), Green);
    }
}

TEST(WmfReader, SizesAndDamage) {
    const auto placeable = Load(WmfScene());
    EXPECT_EQ(placeable->Kind(), mkWmf);
    EXPECT_EQ(placeable->Width(), 100);
    TWmfBuilder w;
    w.Rec(0x020C, {300, 400});
    const auto plain = Load(w.File(false));
    EXPECT_EQ(plain->Width(), 400);
    EXPECT_EQ(plain->Height(), 300);
    EXPECT_EQ(Load(TWmfBuilder().File(true, 0, 0, 1440, 720, 1440))->Width(), 96);

    auto message = [](const Bytes& bytes) -> std::string {
        try {
            Load(bytes);
        } catch (const EInvalidGraphic& e) {
            return e.Message();
        }
        return "no error";
    };
    EXPECT_EQ(message(TWmfBuilder().File(false)), "Metafile is not valid (no size)");
    Bytes cut = WmfScene();
    cut.resize(cut.size() - 10);
    EXPECT_EQ(message(cut), "Metafile is not valid (a record runs past the end)");
    EXPECT_EQ(message(Bytes(40, 7)), "Metafile is not valid (unknown header)");
    EXPECT_EQ(message(TWmfBuilder().File(true, 0, 0, 10, 10, 0)),
              "Metafile is not valid (no units per inch)");

    // Counts inside records that pass the record's end are left out, not followed.
    TWmfBuilder bad;
    bad.Rec(0x020C, {100, 100}).Rec(0x02FC, {0, 0x00FF, 0, 0}).Rec(0x012D, {0});
    bad.Rec(0x0324, {30000, 10, 10, 90, 10});
    bad.Rec(0x0538, {2, 3, 40000, 0, 0, 10, 10, 0, 10});
    bad.Bytes(0x0521, {200, 0, 'x'});
    bad.Rec(0x0F43, {0, 0, 0, 1, 1});
    bad.Rec(0x012D, {999}).Rec(0x01F0, {999}).Rec(0x0127, {-5});
    const auto b = Render(bad.File(true), 50);
    EXPECT_EQ(Count(*b, 0, 0, 100, 100, Red), 0);
}

Bytes EmfScene() {
    TEmfBuilder e;
    e.Rec(38, {1, 5, 0, 0, 0}); // null pen, handle 1
    e.Rec(37, {1});
    e.Rec(39, {2, 0, 0x0000FF, 0}).Rec(37, {2});       // red brush
    e.Rec(43, {10, 10, 40, 40});                       // rectangle
    e.Rec(39, {3, 0, 0xFF0000, 0}).Rec(37, {3});       // blue brush
    e.Rec(42, {60, 10, 90, 40});                       // ellipse
    e.Rec(33, {}).Rec(37, {0x80000004}).Rec(34, {-1}); // black stock brush, undone
    e.Rec(44, {45, 10, 55, 20, 4, 4});                 // round rectangle, still blue
    // World transform: shift by 0,50 and draw the red rectangle again, smaller.
    Bytes shift;
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 50.0f}) TEmfBuilder::PutFloat(shift, f);
    e.Bytes(35, shift).Rec(37, {2}).Rec(43, {10, 10, 20, 20}); // at 10,60-20,70
    Bytes identity;
    for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) TEmfBuilder::PutFloat(identity, f);
    identity.resize(24);
    TWmfBuilder::Put32(identity, 1); // reset
    e.Bytes(36, identity);
    // A path: a Bézier-edged shape filled green.
    e.Rec(39, {4, 0, 0x00FF00, 0}).Rec(37, {4});
    e.Rec(59, {}).Rec(27, {60, 60});
    e.Rec(88, {0, 0, 0, 0, 3, (62 << 16) | 90, (88 << 16) | 90, (90 << 16) | 90}); // PolyBezierTo16 to 90,90
    e.Rec(89, {0, 0, 0, 0, 1, (90 << 16) | 60});                                   // PolylineTo16 60,90
    e.Rec(61, {}).Rec(60, {}).Rec(62, {0, 0, 0, 0});                               // close, end, fill
    // Clip to the left half, then a wide white rectangle.
    e.Rec(38, {5, 0, 0, 0, 0xFFFFFF}).Rec(39, {6, 0, 0xFFFFFF, 0}).Rec(37, {6});
    e.Rec(33, {}).Rec(30, {0, 42, 50, 46}).Rec(43, {0, 42, 100, 46}).Rec(34, {-1});
    // Two triangles in one PolyPolygon16.
    e.Rec(37, {2});
    e.Rec(91, {0, 0, 0, 0, 2, 6, 3, 3, (75 << 16) | 22, (75 << 16) | 28, (82 << 16) | 25, (75 << 16) | 32,
               (75 << 16) | 38, (82 << 16) | 35});
    // Text, white on transparent.
    e.Rec(18, {1}).Rec(24, {0xFFFFFF});
    Bytes font;
    for (int64_t v : {7, -9, 0, 0, 0, 700}) TWmfBuilder::Put32(font, uint32_t(v));
    font.resize(4 + 28);
    for (char c : std::string("DejaVu Sans")) TWmfBuilder::Put16(font, uint8_t(c));
    font.resize(4 + 28 + 64 + 320, 0);
    e.Bytes(82, font).Rec(37, {7});
    Bytes text;
    for (int64_t v : {0, 0, 0, 0, 1, 0, 0, 60, 91, 2, 76, 0, 0, 0, 0, 0, 0})
        TWmfBuilder::Put32(text, uint32_t(v));
    TWmfBuilder::Put16(text, 'H');
    TWmfBuilder::Put16(text, 'H');
    e.Bytes(84, text);
    // StretchDIBits into 92,10-100,30.
    const Bytes dib = TwoPixelDib();
    Bytes blit;
    for (int64_t v : {0, 0, 0, 0, 92, 10, 0, 0, 2, 1, 80, 40, 120, 8, 0, 0xCC0020, 8, 20})
        TWmfBuilder::Put32(blit, uint32_t(v));
    blit.insert(blit.end(), dib.begin(), dib.end());
    e.Bytes(81, blit);
    return e.File();
}

TEST(EmfPlayer, SceneAtTwoSizes) {
    for (int32_t size : {100, 200}) {
        const auto b = Render(EmfScene(), size);
        SCOPED_TRACE(size);
        EXPECT_EQ(At(*b, 25, 25), Red);
        EXPECT_EQ(At(*b, 75, 25), Blue);
        EXPECT_EQ(At(*b, 61, 11), Black);
        EXPECT_EQ(At(*b, 50, 15), Blue); // the stock black brush was undone
        EXPECT_EQ(At(*b, 15, 65), Red);  // moved by the world transform
        EXPECT_EQ(At(*b, 15, 15), Red);
        EXPECT_EQ(At(*b, 25, 65), Black);
        EXPECT_EQ(At(*b, 65, 85), Green); // the path
        EXPECT_EQ(At(*b, 62, 62), Green);
        EXPECT_EQ(At(*b, 25, 44), White); // inside the clip
        EXPECT_EQ(At(*b, 75, 44), Black); // outside it
        EXPECT_EQ(At(*b, 25, 77), Red);   // first triangle
        EXPECT_EQ(At(*b, 35, 77), Red);   // second
        EXPECT_EQ(At(*b, 30, 80), Black); // between them
        EXPECT_GT(Count(*b, 58, 90, 100, 100, White), 0);
        EXPECT_EQ(At(*b, 93, 20), Red);
        EXPECT_EQ(At(*b, 98, 20), Green);
    }
}

TEST(EmfPlayer, MappingModesChordsArcsAndFillModes) {
    TEmfBuilder e;
    e.Rec(17, {8}).Rec(9, {1000, 1000}).Rec(11, {100, 100}); // anisotropic: 1000 logical units across
    e.Rec(38, {1, 5, 0, 0, 0}).Rec(37, {1}).Rec(39, {2, 0, 0x0000FF, 0}).Rec(37, {2});
    e.Rec(46, {100, 100, 400, 400, 400, 250, 250, 100}); // chord over the top-right quarter
    e.Rec(38, {3, 0, 20, 0, 0xFFFFFF}).Rec(37, {3});
    e.Rec(45, {600, 100, 900, 400, 900, 250, 750, 100}); // arc, white, 20 units wide
    e.Rec(37, {1});
    auto square = [&](int x) {
        std::initializer_list<int64_t> twice = {0,
                                                0,
                                                0,
                                                0,
                                                8,
                                                x | 600 << 16,
                                                (x + 300) | 600 << 16,
                                                (x + 300) | 900 << 16,
                                                x | 900 << 16,
                                                x | 600 << 16,
                                                (x + 300) | 600 << 16,
                                                (x + 300) | 900 << 16,
                                                x | 900 << 16};
        e.Rec(86, twice); // Polygon16 going round twice
    };
    e.Rec(39, {4, 2, 0x00FF00, 4}).Rec(37, {4}).Rec(43, {450, 450, 550, 550}).Rec(37, {2}); // opaque hatch
    e.Rec(19, {1});
    square(100);
    e.Rec(19, {2});
    square(600);
    for (int32_t size : {100, 200}) {
        const auto b = Render(e.File(), size);
        SCOPED_TRACE(size);
        EXPECT_EQ(At(*b, 34, 16), Red);
        EXPECT_EQ(At(*b, 30, 20), Black);
        EXPECT_GT(Count(*b, 80, 10, 90, 20, White), 0);
        EXPECT_EQ(At(*b, 75, 25), Black);
        EXPECT_EQ(At(*b, 25, 75), Black);               // alternate: wound twice is outside
        EXPECT_EQ(At(*b, 75, 75), Red);                 // winding: inside
        EXPECT_GT(Count(*b, 46, 46, 54, 54, White), 0); // the hatch's gaps in the background colour
        EXPECT_GT(Count(*b, 46, 46, 54, 54, Green), 0);
        EXPECT_EQ(Count(*b, 46, 46, 54, 54, Black), 0);
    }
}

TEST(EmfReader, SizesAndDamage) {
    const auto m = Load(EmfScene());
    EXPECT_EQ(m->Kind(), mkEmf);
    EXPECT_EQ(m->Width(), 100);
    EXPECT_EQ(m->Height(), 100);
    Bytes cut = EmfScene();
    cut[88 + 4] = 0xF0; // the first record's size far past the end
    EXPECT_THROW(Load(cut), EInvalidGraphic);

    // Records whose counts pass their own size draw nothing and do not fail.
    TEmfBuilder e;
    e.Rec(39, {1, 0, 0x0000FF, 0}).Rec(37, {1});
    e.Rec(86, {0, 0, 0, 0, 1000000, 10, 10});
    e.Rec(91, {0, 0, 0, 0, 0x40000000, 3});
    e.Rec(84, {0, 0, 0, 0, 1, 0, 0, 5, 5, 100000, 8});
    e.Rec(81, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0xFFFFFF00, 40, 4, 4, 0, 0, 10, 10});
    e.Rec(82, {9});
    e.Rec(37, {0x7FFFFFFF}).Rec(40, {70000}).Rec(34, {-100}).Rec(35, {});
    const auto b = Render(e.File(), 50);
    EXPECT_EQ(Count(*b, 0, 0, 100, 100, Red), 0);
}

} // namespace
} // namespace ferronel::qt
