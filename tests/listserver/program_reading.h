#pragma once
// A list body read the way the desktop program reads it, for checking what the server sends.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace reef::listserver::testing {

// The records of a list body, each 15 field values. A record is taken while the unread text
// holds at least 15 "|>"; each field is the text between the first "<|" and the first "|>",
// empty when the "|>" comes first, and reading goes on after that "|>". Throws when the frame
// is broken or bytes are left over (the server sends nothing between records).
inline std::vector<std::vector<std::string>> readListLikeTheProgram(std::string_view body) {
    constexpr std::string_view start = "|>Update<|";
    constexpr std::string_view end = "<>end|<>";
    if (!body.starts_with(start))
        throw std::runtime_error("no list start marker in: " + std::string(body.substr(0, 40)));
    if (body.size() < start.size() + end.size() || !body.ends_with(end))
        throw std::runtime_error("the list does not end with the end marker");
    std::string_view rest = body.substr(start.size(), body.size() - start.size() - end.size());
    auto closings = [](std::string_view text) {
        std::size_t count = 0;
        for (std::size_t at = text.find("|>"); at != std::string_view::npos;
             at = text.find("|>", at + 2))
            ++count;
        return count;
    };
    std::vector<std::vector<std::string>> records;
    while (closings(rest) >= 15) {
        std::vector<std::string> fields;
        for (int i = 0; i < 15; ++i) {
            const std::size_t open = rest.find("<|");
            const std::size_t close = rest.find("|>");
            fields.emplace_back(open != std::string_view::npos && close >= open + 2
                                    ? rest.substr(open + 2, close - open - 2)
                                    : std::string_view{});
            rest.remove_prefix(close + 2);
        }
        records.push_back(std::move(fields));
    }
    if (!rest.empty())
        throw std::runtime_error("bytes after the last record: " + std::string(rest.substr(0, 40)));
    return records;
}

} // namespace reef::listserver::testing
