// Every occurrence of a piece of text replaced, for building test inputs.
#pragma once

#include <string>
#include <string_view>

namespace tallyro::test {

inline std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace tallyro::test
