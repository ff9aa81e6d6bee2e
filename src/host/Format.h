// The one formatting helper of the system: "%s" and "%d" placeholders (also %u, %x and %%), with
// optional argument indexes such as "%2:s" that pick an argument by position.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace ferronel {

class TFormatArg {
public:
    TFormatArg(std::string_view s) : FValue(std::string(s)) {}
    TFormatArg(const std::string& s) : FValue(s) {}
    TFormatArg(const char* s) : FValue(std::string(s ? s : "")) {}
    template <typename T>
    requires std::is_integral_v<T> TFormatArg(T v) : FValue(static_cast<int64_t>(v)) {}

    const std::variant<std::string, int64_t>& Value() const { return FValue; }

private:
    std::variant<std::string, int64_t> FValue;
};

// Formats Fmt with Args. A placeholder whose argument is missing or of the wrong kind raises
// EConvertError: a wrong message table must not pass silently.
std::string Format(std::string_view Fmt, std::initializer_list<TFormatArg> Args);

// A decimal integer with an optional sign and blanks around it that fits 32 bits; TryStrToInt
// answers false for anything else, StrToInt raises EConvertError "'%s' is not a valid integer value".
bool TryStrToInt(std::string_view Text, int32_t& Value);
int32_t StrToInt(std::string_view Text);

} // namespace ferronel
