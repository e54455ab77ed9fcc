#pragma once

// Variables in URL-encoded form ("name=value&other=x%20y"), as movies load them from
// text files and send them: decoding keeps every pair in order (a later pair with the
// same name is the script's business), encoding escapes all but ASCII letters, digits
// and the few marks movies' scripts leave alone.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace swf::data {

using UrlVariables = std::vector<std::pair<std::string, std::string>>;

// "+" is a space, "%XX" a byte; a "%" not followed by two hex digits stays as it is.
std::string urlDecode(std::string_view text);
// Every byte but ASCII letters and digits as "%XX" (upper-case hex), as `escape` does.
std::string urlEncode(std::string_view text);

// Pairs separated by "&"; a piece without "=" is a name with an empty value; empty
// pieces are skipped.
UrlVariables decodeUrlVariables(std::string_view text);
std::string encodeUrlVariables(const UrlVariables& variables);

} // namespace swf::data
