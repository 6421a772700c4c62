// Showing text that came from strangers' servers.
#pragma once

#include <string>

namespace ms_browse {

// For a terminal: valid UTF-8 as it is; control bytes, DEL, and bytes that
// are not valid UTF-8 as \xNN; a backslash as \\.
std::string EscapeForTerminal(const std::string& text);

// A JSON string literal, quotes included. Bytes that are not valid UTF-8 are
// taken as Latin-1, so the output is always valid UTF-8.
std::string JsonString(const std::string& text);

// Columns a terminal gives the (already escaped) text.
std::size_t DisplayWidth(const std::string& escaped);

// Cut or pad escaped text to exactly width columns.
std::string FitColumn(const std::string& escaped, std::size_t width);

}  // namespace ms_browse
