// A small set over an enumeration whose enumerators are bit numbers, as the system's sets
// (image flags, conversion options, render flags) are.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace ferronel {

template <typename E, typename Bits = uint32_t> class TSet {
    static_assert(std::is_enum_v<E>);

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) {
        for (E e : items) Include(e);
    }
    static constexpr TSet FromBits(Bits bits) {
        TSet s;
        s.FBits = bits;
        return s;
    }

    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr TSet& Include(E e) {
        FBits = Bits(FBits | Bit(e));
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        FBits = Bits(FBits & ~Bit(e));
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr Bits ToBits() const { return FBits; }

    constexpr TSet operator+(TSet o) const { return FromBits(Bits(FBits | o.FBits)); }
    constexpr TSet operator-(TSet o) const { return FromBits(Bits(FBits & ~o.FBits)); }
    constexpr TSet operator*(TSet o) const { return FromBits(Bits(FBits & o.FBits)); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr Bits Bit(E e) { return Bits(Bits(1) << static_cast<unsigned>(e)); }
    Bits FBits = 0;
};

} // namespace ferronel
