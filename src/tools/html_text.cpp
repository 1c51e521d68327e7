#include "html_text.h"

#include <array>
#include <charconv>

#include "tool_text.h"

namespace corvane::tools {
namespace {

struct NamedEntity {
    std::string_view name;
    std::string_view text;
};
constexpr std::array kEntities{
    NamedEntity{"amp", "&"},  NamedEntity{"lt", "<"},   NamedEntity{"gt", ">"},
    NamedEntity{"quot", "\""}, NamedEntity{"apos", "'"}, NamedEntity{"nbsp", " "},
};

bool is_name_end(char c) { return c == '>' || c == '/' || is_blank(c); }

// The code point of "#65" or "#x41" as UTF-8; Latin-1 and ASCII files get the byte.
std::string numeric_entity(std::string_view body) {
    unsigned value = 0;
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    const std::string_view digits = body.substr(hex ? 2 : 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (ec != std::errc() || end != digits.data() + digits.size()) return {};
    if (value < 0x80) return std::string(1, static_cast<char>(value));
    if (value < 0x800) {
        return {static_cast<char>(0xC0 | (value >> 6)), static_cast<char>(0x80 | (value & 0x3F))};
    }
    return {static_cast<char>(0xE0 | ((value >> 12) & 0x0F)), static_cast<char>(0x80 | ((value >> 6) & 0x3F)),
            static_cast<char>(0x80 | (value & 0x3F))};
}

// Appends the entity starting at `pos` ("&...;") and returns the position after it, or
// appends "&" alone when it is no entity.
std::size_t append_entity(std::string_view text, std::size_t pos, std::string& out) {
    constexpr std::size_t kLongestEntity = 10;
    const std::size_t semicolon = text.find(';', pos);
    if (semicolon != std::string_view::npos && semicolon - pos <= kLongestEntity) {
        const std::string_view body = text.substr(pos + 1, semicolon - pos - 1);
        if (body.starts_with('#')) {
            const std::string decoded = numeric_entity(body);
            if (!decoded.empty()) {
                out += decoded;
                return semicolon + 1;
            }
        }
        for (const auto& e : kEntities) {
            if (equals_any_case(body, e.name)) {
                out += e.text;
                return semicolon + 1;
            }
        }
    }
    out += '&';
    return pos + 1;
}

// Block tags and cells part words; inline tags such as <b> or <a href=...> do not.
bool separates_words(std::string_view tag) {
    constexpr std::array kBlockTags{"td", "th", "tr", "br", "p", "div", "li", "table", "h1", "h2", "h3", "h4", "h5", "h6"};
    tag.remove_prefix(tag.size() > 1 && tag[1] == '/' ? 2 : 1);
    for (const std::string_view name : kBlockTags) {
        if (starts_with_any_case(tag, name) && (tag.size() == name.size() || is_name_end(tag[name.size()]))) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool opens_with_tag(std::string_view line, std::string_view name) {
    const std::string_view text = trimmed(line);
    return text.size() > name.size() + 1 && text[0] == '<' && starts_with_any_case(text.substr(1), name) &&
           (text.size() == name.size() + 1 || is_name_end(text[name.size() + 1]));
}

std::size_t find_tag(std::string_view text, std::string_view name, std::size_t from, bool closing) {
    const std::size_t opener = closing ? 2 : 1;
    for (std::size_t pos = text.find('<', from); pos != std::string_view::npos; pos = text.find('<', pos + 1)) {
        if (closing && (pos + 1 >= text.size() || text[pos + 1] != '/')) continue;
        const std::string_view rest = text.substr(pos + opener);
        if (!starts_with_any_case(rest, name)) continue;
        if (rest.size() == name.size() || is_name_end(rest[name.size()])) return pos;
    }
    return std::string_view::npos;
}

std::size_t after_tag(std::string_view text, std::size_t tag_start) {
    const std::size_t close = text.find('>', tag_start);
    return close == std::string_view::npos ? text.size() : close + 1;
}

std::string visible_text(std::string_view html) {
    std::string out;
    std::size_t pos = 0;
    while (pos < html.size()) {
        const char c = html[pos];
        if (c == '<') {
            if (separates_words(html.substr(pos))) out += ' ';
            pos = after_tag(html, pos);
            continue;
        }
        if (c == '&') {
            pos = append_entity(html, pos, out);
            continue;
        }
        out += is_blank(c) ? ' ' : c;
        ++pos;
    }
    std::string collapsed;
    for (const char ch : out) {
        if (ch == ' ' && (collapsed.empty() || collapsed.back() == ' ')) continue;
        collapsed += ch;
    }
    return trimmed_copy(collapsed);
}

}  // namespace corvane::tools
