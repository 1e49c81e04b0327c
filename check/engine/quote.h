/*
 * Menu text as the users' machines show it (quote.cpp), in UTF-8.
 */
#ifndef QUORLAN_CHECK_QUOTE_H
#define QUORLAN_CHECK_QUOTE_H

#include <string>

// Makes the bytes show as in codePage, the users' ANSI code page, which
// the checker keeps only here.
void SetShownCodePage(unsigned codePage);
unsigned GetShownCodePage();
// The bytes as the users' machines show them.
std::string ShowText(const std::string &bytes);
// The same in double quotes, with control characters and bytes the code
// page leaves undefined escaped.
std::string QuoteText(const std::string &bytes);
// The bytes read as UTF-8, as an editor holds them: a sequence that is
// not UTF-8 is the replacement character.
std::string ShowUtf8(const std::string &bytes);
// The bytes read as UTF-8, quoted as QuoteText quotes.
std::string QuoteUtf8(const std::string &bytes);
// The length of the UTF-8 character at `at`: 0 for an invalid sequence.
int Utf8SequenceAt(const std::string &bytes, size_t at);
// Whether the bytes are UTF-8 beyond ASCII and nothing else, as a file
// saved as UTF-8 is.
bool IsUtf8Text(const std::string &bytes);
// A JSON string for UTF-8 text.
std::string QuoteJson(const std::string &utf8);

#endif
