#include "gif/ColorQuantizer.h"

#include <algorithm>

namespace ferronel {

TColorQuantizer::TColorQuantizer(uint32_t MaxColors, int ColorBits)
    : FMaxColors(std::clamp<uint32_t>(MaxColors, 1, 256)), FColorBits(std::clamp(ColorBits, 1, 8)) {
    NewNode(0);
}

uint32_t TColorQuantizer::NewNode(int Level) {
    uint32_t index;
    if (!FFreeNodes.empty()) {
        index = FFreeNodes.back();
        FFreeNodes.pop_back();
        FNodes[index] = TOctreeNode{};
    } else {
        index = uint32_t(FNodes.size());
        FNodes.emplace_back();
    }
    if (Level == FColorBits) {
        FNodes[index].Leaf = true;
        ++FLeafCount;
    } else {
        FReducible[size_t(Level)].push_back(index);
    }
    return index;
}

void TColorQuantizer::AddColor(uint8_t Red, uint8_t Green, uint8_t Blue) {
    const uint32_t color = (uint32_t(Red) << 16) | (uint32_t(Green) << 8) | Blue;
    uint32_t node = 0;
    if (color == FLastColor && FLastLeaf != TOctreeNode::None && FNodes[FLastLeaf].Leaf) {
        node = FLastLeaf;
    } else {
        for (int level = 0; !FNodes[node].Leaf; ++level) {
            const int shift = 7 - level;
            const uint32_t child =
                (((Red >> shift) & 1) << 2) | (((Green >> shift) & 1) << 1) | ((Blue >> shift) & 1);
            uint32_t next = FNodes[node].Children[child];
            if (next == TOctreeNode::None) {
                next = NewNode(level + 1);
                FNodes[node].Children[child] = next;
            }
            node = next;
        }
    }
    TOctreeNode& leaf = FNodes[node];
    ++leaf.PixelCount;
    leaf.RedSum += Red;
    leaf.GreenSum += Green;
    leaf.BlueSum += Blue;
    FLastColor = color;
    FLastLeaf = node;
    while (FLeafCount > FMaxColors) ReduceTree();
}

void TColorQuantizer::AddPixels(const uint8_t* Pixels, int32_t Count, int BytesPerPixel) {
    for (int32_t i = 0; i < Count; ++i, Pixels += BytesPerPixel) AddColor(Pixels[2], Pixels[1], Pixels[0]);
}

void TColorQuantizer::ReduceTree() {
    int level = FColorBits - 1;
    while (level > 0 && FReducible[size_t(level)].empty()) --level;
    if (FReducible[size_t(level)].empty()) return;
    const uint32_t index = FReducible[size_t(level)].back();
    FReducible[size_t(level)].pop_back();
    uint32_t merged = 0;
    for (uint32_t& child : FNodes[index].Children) {
        if (child == TOctreeNode::None) continue;
        const TOctreeNode c = FNodes[child];
        TOctreeNode& n = FNodes[index];
        n.RedSum += c.RedSum;
        n.GreenSum += c.GreenSum;
        n.BlueSum += c.BlueSum;
        n.PixelCount += c.PixelCount;
        FFreeNodes.push_back(child);
        child = TOctreeNode::None;
        ++merged;
    }
    FNodes[index].Leaf = true;
    FLeafCount = FLeafCount + 1 - merged;
    FLastLeaf = TOctreeNode::None;
}

void TColorQuantizer::CollectLeaves(uint32_t Node, TPaletteEntries& Entries) const {
    const TOctreeNode& n = FNodes[Node];
    if (n.Leaf) {
        if (n.PixelCount == 0)
            Entries.push_back({0, 0, 0, 4});
        else
            Entries.push_back({uint8_t(n.RedSum / n.PixelCount), uint8_t(n.GreenSum / n.PixelCount),
                               uint8_t(n.BlueSum / n.PixelCount), 4});
        return;
    }
    for (const uint32_t child : n.Children)
        if (child != TOctreeNode::None) CollectLeaves(child, Entries);
}

TPaletteEntries TColorQuantizer::Palette() const {
    TPaletteEntries entries;
    CollectLeaves(0, entries);
    return entries;
}

} // namespace ferronel
