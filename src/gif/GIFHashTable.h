// The LZW encoder's string table: (prefix code, next index) keys to codes, in 8009 slots of 32 bits
// (key << 12 | code; all bits set when empty). Collisions probe backwards by a step fixed for the
// key's home slot; as 8009 is prime, the probe visits every slot before it comes back.
#pragma once

#include <array>
#include <cstdint>

namespace ferronel {

class THashTable {
public:
    static constexpr uint32_t SlotCount = 8009;
    static constexpr uint32_t Empty = 0xFFFFFFFF;

    THashTable() { Clear(); }
    void Clear() { FSlots.fill(Empty); }

    // The code of Key (prefix << 8 | index, at most 20 bits), or -1 with Slot set to the empty slot
    // where Insert puts it.
    int32_t Find(uint32_t Key, uint32_t& Slot) const {
        uint32_t slot = (Key ^ (Key >> 4)) % SlotCount;
        const uint32_t shifted = Key << 12;
        uint32_t entry = FSlots[slot];
        if ((entry & 0xFFFFF000u) == shifted) return int32_t(entry & 0xFFF);
        const uint32_t step = slot == 0 ? 1 : SlotCount - slot;
        while (entry < 0xFFFFF000u) {
            slot = slot >= step ? slot - step : slot + SlotCount - step;
            entry = FSlots[slot];
            if ((entry & 0xFFFFF000u) == shifted) return int32_t(entry & 0xFFF);
        }
        Slot = slot;
        return -1;
    }
    void Insert(uint32_t Slot, uint32_t Key, uint32_t Code) { FSlots[Slot] = (Key << 12) | Code; }

private:
    std::array<uint32_t, SlotCount> FSlots;
};

} // namespace ferronel
