#pragma once

// Reading the text of HTML lines as real files write them: tags in any case and with
// attributes, character entities, runs of blanks.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::tools {

// True when `line` (after leading blanks) opens with the tag `name`: "<name>" or
// "<name attributes...>", any case.
bool opens_with_tag(std::string_view line, std::string_view name);

// Where the tag `name` (or its closing form when `closing`) next opens in `text` from `from`;
// npos when it does not.
std::size_t find_tag(std::string_view text, std::string_view name, std::size_t from = 0, bool closing = false);

// The position just after the ">" of the tag opening at `tag_start`, or the end.
std::size_t after_tag(std::string_view text, std::size_t tag_start);

// The visible text: tags removed, entities decoded, blanks collapsed, trimmed.
std::string visible_text(std::string_view html);

}  // namespace corvane::tools
