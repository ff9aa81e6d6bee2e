// Build step of the sample plug-ins. The entry-point names contain "@@", which every static linker
// takes for a symbol version, so a library is linked with stand-in names of the same length ("?"
// and "@" written as "_") and a SysV symbol hash table only; this program then writes the real
// names over the stand-ins in the dynamic string table and rebuilds the hash table for them.
//
//   ferronel-plugin-exports LIBRARY
#include "plugins/ImageContainer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& File, const std::string& Why) {
    std::fprintf(stderr, "ferronel-plugin-exports: %s: %s\n", File.c_str(), Why.c_str());
    std::exit(1);
}

uint32_t ElfHash(const char* Name) {
    uint32_t h = 0;
    for (; *Name; ++Name) {
        h = (h << 4) + uint8_t(*Name);
        const uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

std::string StandIn(std::string Name) {
    for (char& c : Name)
        if (c == '?' || c == '@') c = '_';
    return Name;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) Fail("", "usage: ferronel-plugin-exports LIBRARY");
    const std::string file = argv[1];
    std::vector<uint8_t> bytes;
    {
        std::ifstream in(file, std::ios::binary);
        if (!in) Fail(file, "cannot open");
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    auto inside = [&](uint64_t Offset, uint64_t Size) {
        return Offset <= bytes.size() && Size <= bytes.size() - Offset;
    };
    Elf64_Ehdr header;
    if (!inside(0, sizeof header)) Fail(file, "not an ELF file");
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_ident[EI_DATA] != ELFDATA2LSB || header.e_shentsize != sizeof(Elf64_Shdr))
        Fail(file, "not a 64-bit little-endian ELF file");

    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!inside(header.e_shoff, uint64_t(header.e_shnum) * sizeof(Elf64_Shdr)))
        Fail(file, "damaged section table");
    std::memcpy(sections.data(), bytes.data() + header.e_shoff, sections.size() * sizeof(Elf64_Shdr));
    const Elf64_Shdr *dynsym = nullptr, *hash = nullptr;
    for (const Elf64_Shdr& s : sections) {
        if (s.sh_type == SHT_DYNSYM) dynsym = &s;
        if (s.sh_type == SHT_HASH) hash = &s;
        if (s.sh_type == SHT_GNU_HASH) Fail(file, "has a GNU hash table; link with -Wl,--hash-style=sysv");
    }
    if (!dynsym || !hash || dynsym->sh_link >= sections.size()) Fail(file, "no dynamic symbol or hash table");
    const Elf64_Shdr& dynstr = sections[dynsym->sh_link];
    if (!inside(dynsym->sh_offset, dynsym->sh_size) || !inside(dynstr.sh_offset, dynstr.sh_size) ||
        !inside(hash->sh_offset, hash->sh_size) || dynstr.sh_size == 0)
        Fail(file, "damaged dynamic sections");

    const size_t count = dynsym->sh_size / sizeof(Elf64_Sym);
    std::vector<Elf64_Sym> symbols(count);
    std::memcpy(symbols.data(), bytes.data() + dynsym->sh_offset, count * sizeof(Elf64_Sym));
    char* strings = reinterpret_cast<char*>(bytes.data() + dynstr.sh_offset);
    if (strings[dynstr.sh_size - 1] != 0) Fail(file, "damaged dynamic string table");

    using namespace ferronel::plugins;
    const char* const names[] = {SLibLoadImage, SLibSaveImage, SLibFreeImage, SLibGetLoadFilter,
                                 SLibGetSaveFilter};
    for (const Elf64_Sym& symbol : symbols) {
        if (symbol.st_name >= dynstr.sh_size) Fail(file, "damaged symbol name");
        for (const char* name : names) {
            const std::string standIn = StandIn(name);
            if (standIn != strings + symbol.st_name) continue;
            // Another symbol sharing the stand-in's text would be renamed with it.
            for (const Elf64_Sym& other : symbols)
                if (&other != &symbol && other.st_name > symbol.st_name &&
                    other.st_name < symbol.st_name + standIn.size())
                    Fail(file, "a symbol shares the text of " + standIn);
            std::memcpy(strings + symbol.st_name, name, standIn.size());
        }
    }

    uint32_t* table = reinterpret_cast<uint32_t*>(bytes.data() + hash->sh_offset);
    const uint64_t words = hash->sh_size / 4;
    if (words < 2 || table[1] != count || uint64_t(table[0]) + count + 2 > words || table[0] == 0)
        Fail(file, "damaged hash table");
    const uint32_t buckets = table[0];
    uint32_t* bucket = table + 2;
    uint32_t* chain = bucket + buckets;
    std::fill(bucket, bucket + buckets, 0u);
    std::fill(chain, chain + count, 0u);
    for (uint32_t i = 1; i < count; ++i) {
        const uint32_t b = ElfHash(strings + symbols[i].st_name) % buckets;
        chain[i] = bucket[b];
        bucket[b] = i;
    }

    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) Fail(file, "cannot write");
    return 0;
}
