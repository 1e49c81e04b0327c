/*
 * A name of the disc written into a menu so that the program reads it back
 * as that name: the near-name fix and completion write names through here.
 *
 * What the reader would take for itself is escaped with `%`: `%` `,` `'`
 * `{` `}`, and every white-space byte but a lone space, since a run of
 * white space folds to one space. A name with a space is put between
 * double quotes, from the start of the file part to the end of the name,
 * so that Run gives the shell the whole name as the file and its folder.
 */
#include "engine.h"

#include <ctype.h>
#include <string.h>

// Yields the file part for the menu: prefix, already menu text (such as
// "%:\\" or ""), then name, the disc's bytes as the users' code page
// holds them.
std::string WriteMenuFileName(const std::string &prefix, const std::string &name)
{
    std::string written;
    bool afterSpace = prefix.empty() || isspace((unsigned char)prefix.back());
    for (char c : name) {
        bool space = isspace((unsigned char)c);
        if (strchr("%,'{}", c) && c != '\0') written += '%';
        else if (space && (c != ' ' || afterSpace)) written += '%';
        written += c;
        afterSpace = space;
    }
    if (name.find(' ') == std::string::npos) return prefix + written;
    return "\"" + prefix + written + "\"";
}
