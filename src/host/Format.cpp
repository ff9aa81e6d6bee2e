#include "host/Format.h"

#include "host/Exceptions.h"

#include <vector>

namespace ferronel {

std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args) {
    const std::vector<const TFormatArg*> args = [&] {
        std::vector<const TFormatArg*> v;
        for (const TFormatArg& a : Args) v.push_back(&a);
        return v;
    }();
    std::string out;
    out.reserve(Fmt.size() + 16 * args.size());
    size_t next = 0;
    for (size_t i = 0; i < Fmt.size(); ++i) {
        const char c = Fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= Fmt.size()) throw EConvertError("Format string ends with '%'");
        if (Fmt[i] == '%') {
            out += '%';
            continue;
        }
        // Optional "N:" argument index.
        size_t j = i;
        size_t index = 0;
        while (j < Fmt.size() && Fmt[j] >= '0' && Fmt[j] <= '9') index = index * 10 + size_t(Fmt[j++] - '0');
        if (j > i && j < Fmt.size() && Fmt[j] == ':') {
            next = index;
            i = j + 1;
        }
        if (i >= Fmt.size()) throw EConvertError("Format string ends inside a placeholder");
        const char kind = Fmt[i];
        if (next >= args.size()) throw EConvertError("Format argument missing for placeholder");
        const auto& value = args[next++]->Value();
        switch (kind) {
        case 's':
            if (!std::holds_alternative<std::string>(value)) throw EConvertError("Format: %s needs text");
            out += std::get<std::string>(value);
            break;
        case 'd':
        case 'u':
            if (!std::holds_alternative<int64_t>(value)) throw EConvertError("Format: %d needs a number");
            out += std::to_string(std::get<int64_t>(value));
            break;
        case 'x': {
            if (!std::holds_alternative<int64_t>(value)) throw EConvertError("Format: %x needs a number");
            static const char digits[] = "0123456789ABCDEF";
            uint64_t v = uint64_t(std::get<int64_t>(value));
            std::string hex;
            do {
                hex.insert(hex.begin(), digits[v & 15]);
                v >>= 4;
            } while (v);
            out += hex;
            break;
        }
        default: throw EConvertError(std::string("Format: unknown placeholder %") + kind);
        }
    }
    return out;
}

bool TryStrToInt(std::string_view Text, int32_t& Value) {
    size_t i = 0, end = Text.size();
    while (i < end && (Text[i] == ' ' || Text[i] == '\t')) ++i;
    while (end > i && (Text[end - 1] == ' ' || Text[end - 1] == '\t')) --end;
    bool negative = false;
    if (i < end && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
    if (i == end) return false;
    int64_t v = 0;
    for (; i < end; ++i) {
        if (Text[i] < '0' || Text[i] > '9') return false;
        v = v * 10 + (Text[i] - '0');
        if (v > int64_t(INT32_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return false;
    Value = int32_t(v);
    return true;
}

int32_t StrToInt(std::string_view Text) {
    int32_t v = 0;
    if (!TryStrToInt(Text, v)) throw EConvertError(Format("'%s' is not a valid integer value", {Text}));
    return v;
}

} // namespace ferronel
