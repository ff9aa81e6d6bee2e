// Octree colour quantisation: every colour walks down the tree by one bit of each component per
// level; when there are more leaves than colours wanted, the most recently added node of the
// deepest level that has inner nodes absorbs its children. The leaves' mean colours are the palette.
#pragma once

#include "host/Object.h"
#include "host/Palette.h"

#include <array>
#include <cstdint>
#include <vector>

namespace ferronel {

struct TOctreeNode {
    static constexpr uint32_t None = 0xFFFFFFFF;
    bool Leaf = false;
    uint32_t PixelCount = 0;
    uint64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
    std::array<uint32_t, 8> Children{None, None, None, None, None, None, None, None};
};

class TColorQuantizer : public TObject {
    FERRONEL_ABSTRACT_CLASS(TColorQuantizer, TObject)
public:
    // MaxColors 1..256 (clamped), ColorBits the levels used, 1..8 (clamped).
    TColorQuantizer(uint32_t MaxColors, int ColorBits);

    void AddColor(uint8_t Red, uint8_t Green, uint8_t Blue);
    // Adds the pixels of rows of blue, green, red (BytesPerPixel apart).
    void AddPixels(const uint8_t* Pixels, int32_t Count, int BytesPerPixel);
    uint32_t LeafCount() const { return FLeafCount; }
    // One entry per leaf, depth first with the children in index order (no-collapse flag set).
    TPaletteEntries Palette() const;

private:
    uint32_t NewNode(int Level);
    void ReduceTree();
    void CollectLeaves(uint32_t Node, TPaletteEntries& Entries) const;

    std::vector<TOctreeNode> FNodes; // FNodes[0] is the root
    std::vector<uint32_t> FFreeNodes;
    std::array<std::vector<uint32_t>, 8> FReducible; // inner nodes per level, newest last
    uint32_t FLeafCount = 0;
    uint32_t FMaxColors;
    int FColorBits;
    // The last colour added and its leaf: runs of one colour skip the walk.
    uint32_t FLastColor = 0xFFFFFFFF;
    uint32_t FLastLeaf = TOctreeNode::None;
};

} // namespace ferronel
