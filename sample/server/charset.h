#pragma once

// The server's character set: what text looks like on the wire. Values and names are
// UTF-8 inside the server; with iso_1 they travel as Latin-1, as on an Adaptive Server
// installed with that default character set.

#include <string>
#include <string_view>

namespace tds {

enum class Charset { Utf8, Iso1 };

// The name the login reply announces ("utf8", "iso_1").
const char* charsetName(Charset charset);
// Parses "utf8" / "iso_1"; false for anything else.
bool parseCharset(std::string_view name, Charset& charset);

// Text the client sent, in the server's character set, as UTF-8.
std::string fromClient(std::string_view bytes, Charset charset);
// UTF-8 in the server's character set. A character iso_1 cannot hold becomes '?'.
std::string toClient(std::string_view utf8, Charset charset);
// The bytes a UTF-8 text takes in the server's character set, in which char and varchar
// lengths are counted (iso_1: one a character).
std::size_t serverLength(std::string_view utf8, Charset charset);
// Cuts UTF-8 text to at most `limit` bytes of the server's character set, never inside a
// character.
void cutToServerLength(std::string& utf8, std::size_t limit, Charset charset);
// UTF-8 as UTF-16LE (unichar, univarchar). Malformed sequences become U+FFFD.
std::string utf16le(std::string_view utf8);

} // namespace tds
