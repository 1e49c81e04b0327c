/*
 * Any text of up to 1,100 bytes through the command split, in a heap block
 * of exactly its size so that a read past its end is caught. The three
 * values must be what the split promises, checked here from the original
 * text: the file part is the text up to its first space outside double
 * quotes, the parameters follow that space, and the folder is the file
 * part before its last backslash without its double quotes, cut to the
 * folder's storage.
 */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "../launch/launch.h"

#define MAX_SPLIT_INPUT 1100

static void Fail(const char *what, const std::string &text)
{
    fprintf(stderr, "split invariant broken: %s (text of %zu bytes)\n", what, text.size());
    abort();
}

// Yields the length of the file part the split should find in text.
static size_t ExpectedFileLength(const std::string &text)
{
    bool inQuotes = false;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '"') inQuotes = !inQuotes;
        else if (text[i] == ' ' && !inQuotes) return i;
    }
    return text.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > MAX_SPLIT_INPUT) return 0;
    char *buffer = (char *)malloc(size + 1);
    memcpy(buffer, data, size);
    buffer[size] = '\0';
    const std::string text(buffer); // up to the first zero byte, as the box would hold it
    CommandParts *parts = (CommandParts *)malloc(sizeof(CommandParts));

    SplitCommand(buffer, parts);

    size_t fileLength = ExpectedFileLength(text);
    if (parts->file != buffer) Fail("the file part does not start the text", text);
    if (std::string(parts->file) != text.substr(0, fileLength)) Fail("wrong file part", text);
    if (fileLength < text.size()) {
        if (parts->parameters != buffer + fileLength + 1) Fail("parameters not after the space", text);
        if (buffer[fileLength] != '\0') Fail("the separating space was not cut", text);
        if (std::string(parts->parameters) != text.substr(fileLength + 1)) Fail("wrong parameters", text);
    } else if (parts->parameters) {
        Fail("parameters without a separating space", text);
    }

    const std::string file = text.substr(0, fileLength);
    size_t lastSlash = file.rfind('\\');
    if (lastSlash == std::string::npos) {
        if (parts->directory) Fail("a folder for a file part without a backslash", text);
    } else {
        std::string expected;
        for (size_t i = 0; i < lastSlash; i++)
            if (file[i] != '"') expected += file[i];
        expected = expected.substr(0, sizeof(parts->folder) - 1);
        if (parts->directory != parts->folder) Fail("the folder is not in its storage", text);
        if (memchr(parts->folder, '\0', sizeof(parts->folder)) == NULL) Fail("the folder has no end", text);
        if (std::string(parts->directory) != expected) Fail("wrong folder", text);
    }
    free(parts);
    free(buffer);
    return 0;
}
