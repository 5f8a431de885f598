// Sample payload of the Vexa distribution: a tiny stand-in for the nlohmann/json header. It offers only
// a JSON string quoting helper, enough for a consumer to include it and link the CMake target.
#pragma once

#include <string>

namespace nlohmann {

inline constexpr const char *vexa_sample_version = "3.11.3";

// `text` as a JSON string literal, with quotes, backslashes and control characters escaped.
inline std::string quote(const std::string &text)
{
    static const char hex[] = "0123456789abcdef";
    std::string result = "\"";
    for (const unsigned char c : text) {
        switch (c) {
        case '"': result += "\\\""; break;
        case '\\': result += "\\\\"; break;
        case '\n': result += "\\n"; break;
        case '\t': result += "\\t"; break;
        default:
            if (c < 0x20) {
                result += "\\u00";
                result += hex[c >> 4];
                result += hex[c & 0xf];
            } else {
                result += static_cast<char>(c);
            }
        }
    }
    return result + "\"";
}

} // namespace nlohmann
