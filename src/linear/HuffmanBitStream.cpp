#include "linear/HuffmanBitStream.h"

#include "linear/LinearStrings.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ferronel::linear {

namespace {
uint32_t Reverse(uint32_t Code, int Length) {
    uint32_t r = 0;
    for (int i = 0; i < Length; ++i, Code >>= 1) r = r << 1 | (Code & 1);
    return r;
}
} // namespace

THuffmanCheck THuffmanBitStream::CheckLengths(const uint8_t* Lengths, size_t Count) {
    int count[MaxCodeLength + 1] = {};
    int maxLength = 0;
    for (size_t s = 0; s < Count; ++s) {
        ++count[Lengths[s]];
        maxLength = std::max<int>(maxLength, Lengths[s]);
    }
    if (maxLength == 0) return hcEmpty;
    int64_t left = 1;
    for (int l = 1; l <= MaxCodeLength; ++l) {
        left = left * 2 - count[l];
        if (left < 0) return hcOversubscribed;
    }
    if (left == 0) return hcComplete;
    return maxLength == 1 && count[1] == 1 ? hcSingle : hcIncomplete;
}

void THuffmanBitStream::BuildCodes(const uint8_t* Lengths, size_t Count, uint16_t* Codes) {
    int count[MaxCodeLength + 2] = {};
    for (size_t s = 0; s < Count; ++s) ++count[Lengths[s]];
    count[0] = 0;
    uint32_t next[MaxCodeLength + 2] = {};
    for (int l = 1; l <= MaxCodeLength; ++l) next[l + 1] = (next[l] + uint32_t(count[l])) << 1;
    for (size_t s = 0; s < Count; ++s) {
        const int l = Lengths[s];
        Codes[s] = l ? uint16_t(Reverse(next[l]++, l)) : 0;
    }
}

void THuffmanBitStream::BuildTable(const uint8_t* Lengths, size_t Count, const uint32_t* SymbolEntries,
                                   int PrimaryBits, uint32_t* Table, size_t TableSize) {
    const uint32_t primary = 1u << PrimaryBits, mask = primary - 1;
    std::fill(Table, Table + primary, HuffmanEntry(0, hkInvalid, 0, 1));
    uint16_t codes[288];
    BuildCodes(Lengths, Count, codes);
    // The widest code behind each first-level slot decides the size of its sub-table.
    uint8_t subBits[1u << 11] = {};
    for (size_t s = 0; s < Count; ++s)
        if (Lengths[s] > PrimaryBits)
            subBits[codes[s] & mask] =
                std::max<uint8_t>(subBits[codes[s] & mask], uint8_t(Lengths[s] - PrimaryBits));
    uint32_t next = primary;
    for (uint32_t p = 0; p < primary; ++p) {
        if (!subBits[p]) continue;
        const uint32_t size = 1u << subBits[p];
        // Complete codes cannot need more; the check keeps a wrong caller inside the table.
        if (next + size > TableSize) throw Exception(SCompressedDataError);
        Table[p] = HuffmanEntry(next, hkSubTable, subBits[p], uint32_t(PrimaryBits));
        std::fill(Table + next, Table + next + size, HuffmanEntry(0, hkInvalid, 0, 1));
        next += size;
    }
    for (size_t s = 0; s < Count; ++s) {
        const uint32_t l = Lengths[s];
        if (!l) continue;
        const uint32_t entry = SymbolEntries[s] | l;
        if (l <= uint32_t(PrimaryBits)) {
            for (uint32_t i = codes[s]; i < primary; i += 1u << l) Table[i] = entry;
        } else {
            const uint32_t link = Table[codes[s] & mask];
            const uint32_t width = EntryExtra(link), step = 1u << (l - PrimaryBits);
            uint32_t* sub = Table + EntryValue(link);
            for (uint32_t i = uint32_t(codes[s]) >> PrimaryBits; i < (1u << width); i += step) sub[i] = entry;
        }
    }
}

void THuffmanBitStream::BuildOptimalLengths(const uint32_t* Frequencies, size_t Count, int MaxLength,
                                            uint8_t* Lengths) {
    std::fill(Lengths, Lengths + Count, 0);
    std::vector<uint32_t> freq(Frequencies, Frequencies + Count);
    std::vector<size_t> used;
    for (size_t s = 0; s < Count; ++s)
        if (freq[s]) used.push_back(s);
    // A lone symbol still needs a partner: a one-symbol code would be incomplete.
    for (size_t s = 0; used.size() < 2 && s < Count; ++s)
        if (!freq[s]) {
            freq[s] = 1;
            used.push_back(s);
        }
    std::sort(used.begin(), used.end());
    for (;;) {
        // Huffman's construction over the used symbols; halving the frequencies until the code
        // fits the length limit keeps it a valid prefix code, close to the best one.
        struct TNode {
            uint64_t Weight;
            int Left, Right;
        };
        std::vector<TNode> nodes;
        nodes.reserve(used.size() * 2);
        for (size_t s : used) nodes.push_back({freq[s], -1, -1});
        std::vector<int> order(used.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
        std::sort(order.begin(), order.end(),
                  [&](int a, int b) { return nodes[size_t(a)].Weight < nodes[size_t(b)].Weight; });
        std::vector<int> merged;
        size_t li = 0, mi = 0;
        auto take = [&]() {
            if (li < order.size() &&
                (mi >= merged.size() || nodes[size_t(order[li])].Weight <= nodes[size_t(merged[mi])].Weight))
                return order[li++];
            return merged[mi++];
        };
        for (size_t k = 1; k < used.size(); ++k) {
            const int a = take(), b = take();
            nodes.push_back({nodes[size_t(a)].Weight + nodes[size_t(b)].Weight, a, b});
            merged.push_back(int(nodes.size() - 1));
        }
        std::vector<int> depth(nodes.size(), 0);
        int maxDepth = 0;
        for (size_t n = nodes.size(); n-- > used.size();) {
            for (int child : {nodes[n].Left, nodes[n].Right}) {
                depth[size_t(child)] = depth[n] + 1;
                maxDepth = std::max(maxDepth, depth[size_t(child)]);
            }
        }
        if (maxDepth <= MaxLength) {
            for (size_t i = 0; i < used.size(); ++i) Lengths[used[i]] = uint8_t(depth[i]);
            return;
        }
        for (size_t s : used) freq[s] = (freq[s] + 1) / 2;
    }
}

} // namespace ferronel::linear
