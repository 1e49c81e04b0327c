/*
 * The conversions' rules that do not depend on the build (the code pages'
 * own facts are codepage_facts.cpp's): how a text is cut into characters, what
 * counts as undefined, the length and buffer conventions of the platform's
 * calls, and UTF-8, which Windows decodes by its own rules for invalid
 * sequences (measured under Wine):
 *
 *   - a byte that cannot start a sequence (80-BF, C0, C1, F5-FF) is one
 *     U+FFFD;
 *   - a sequence that stops before its end, or whose next byte makes it an
 *     overlong form, a surrogate or a value above U+10FFFF, is one U+FFFD
 *     for the bytes taken so far; the byte that stopped it is read again;
 *   - a sequence cut by the end of the input is one U+FFFD for all the
 *     bytes up to the end, even those that could start a sequence.
 */
#include "codepage.h"

#include "codepage_layer.h"

// Yields the bytes of one UTF-8 character at text and its value in *value,
// or ~0 for an invalid sequence (then the bytes are those one U+FFFD takes).
static int ReadUtf8(const unsigned char *text, int length, uint32_t *value)
{
    unsigned char lead = text[0];
    if (lead < 0x80) {
        *value = lead;
        return 1;
    }
    int follow = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
               : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
    *value = ~0u;
    if (follow == 0) return 1;
    if (1 + follow > length) return length;
    uint32_t result = lead & (0x3F >> follow);
    for (int i = 1; i <= follow; i++) {
        if ((text[i] & 0xC0) != 0x80) return i;
        result = (result << 6) | (text[i] & 0x3F);
        int left = follow - i; // continuation bytes still to come
        // What the value so far already rules out: overlong forms, the
        // surrogates, and values above U+10FFFF.
        if (left == 2 && (result < 0x10 || result > 0x10F)) return i + 1;
        if (left == 1 && (result < 0x20 || (result >= 0xD800 >> 6 && result <= 0xDFFF >> 6)))
            return i + 1;
        if (left == 0 && result < 0x80) return i + 1;
    }
    *value = result;
    return 1 + follow;
}

static bool IsUndefinedUnit(uint16_t unit)
{
    return (unit >= 0x80 && unit <= 0x9F) || (unit >= 0xE000 && unit <= 0xF8FF);
}

void ReadTextChar(unsigned codePage, const char *text, int length, TextChar *ch)
{
    const unsigned char *bytes = (const unsigned char *)text;
    ch->wideCount = 1;
    ch->defined = true;
    if (codePage == CP_UTF8) {
        uint32_t value;
        ch->byteCount = ReadUtf8(bytes, length, &value);
        if (value == ~0u) {
            ch->wide[0] = 0xFFFD;
            ch->defined = false;
        } else if (value >= 0x10000) {
            ch->wide[0] = (uint16_t)(0xD800 + ((value - 0x10000) >> 10));
            ch->wide[1] = (uint16_t)(0xDC00 + ((value - 0x10000) & 0x3FF));
            ch->wideCount = 2;
        } else {
            ch->wide[0] = (uint16_t)value;
        }
        return;
    }
    bool known = IsKnownCodePage(codePage);
    ch->byteCount = 1;
    if (IsLeadByte(codePage, bytes[0])) {
        // A lead byte takes any trail byte but NUL; alone it is invalid.
        if (length < 2 || bytes[1] == 0) {
            ch->wide[0] = FindDefaultUnit(codePage);
            ch->defined = false;
            return;
        }
        ch->byteCount = 2;
        ch->wide[0] = DecodeCodePageChar(codePage, bytes, 2);
        unsigned char back[2];
        // An invalid pair shows as the default; the default's own bytes do not.
        if (ch->wide[0] == FindDefaultUnit(codePage) &&
            !(EncodeCodePageUnit(codePage, ch->wide[0], back) == 2 && back[0] == bytes[0] &&
              back[1] == bytes[1]))
            ch->defined = false;
    } else {
        ch->wide[0] = known ? DecodeCodePageChar(codePage, bytes, 1) : bytes[0];
    }
    if (IsUndefinedUnit(ch->wide[0])) ch->defined = false;
}

// Yields the length a call takes: -1 is up to and including the NUL.
template <typename Unit> static int FindInputLength(const Unit *text, int length)
{
    if (length != -1) return length;
    int n = 0;
    while (text[n]) n++;
    return n + 1;
}

// Stores what one character gives at *count (or only counts it, where size
// is 0); false where output is full.
template <typename Out, typename In>
static bool StoreConverted(const In *items, int n, Out *output, int size, int *count)
{
    for (int i = 0; i < n; i++, (*count)++) {
        if (size == 0) continue;
        if (*count >= size) return false;
        output[*count] = (Out)items[i];
    }
    return true;
}

int DecodeText(unsigned codePage, const char *text, int length, uint16_t *wide, int size)
{
    if (!IsKnownCodePage(codePage) || !text || length == 0 || length < -1 || size < 0) return 0;
    length = FindInputLength(text, length);
    int count = 0;
    for (int at = 0; at < length;) {
        TextChar ch;
        ReadTextChar(codePage, text + at, length - at, &ch);
        at += ch.byteCount;
        if (!StoreConverted(ch.wide, ch.wideCount, wide, size, &count)) return 0;
    }
    return count;
}

// Yields the UTF-8 bytes of the character at wide (in out, up to 4) and
// how many units it took in *taken; a lone surrogate gives U+FFFD.
static int EncodeUtf8(const uint16_t *wide, int length, unsigned char out[4], int *taken,
                      bool *replaced)
{
    uint32_t value = wide[0];
    *taken = 1;
    *replaced = false;
    if (value >= 0xD800 && value <= 0xDBFF && length > 1 && wide[1] >= 0xDC00 && wide[1] <= 0xDFFF) {
        value = 0x10000 + ((value - 0xD800) << 10) + (wide[1] - 0xDC00);
        *taken = 2;
    } else if (value >= 0xD800 && value <= 0xDFFF) {
        value = 0xFFFD;
        *replaced = true;
    }
    if (value < 0x80) {
        out[0] = (unsigned char)value;
        return 1;
    }
    int count = value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
    for (int i = count - 1; i > 0; i--, value >>= 6) out[i] = (unsigned char)(0x80 | (value & 0x3F));
    out[0] = (unsigned char)((0xF00 >> count) | value);
    return count;
}

int EncodeText(unsigned codePage, const uint16_t *wide, int length, char *text, int size,
               bool *usedDefault)
{
    if (usedDefault) *usedDefault = false;
    if (!IsKnownCodePage(codePage) || !wide || length == 0 || length < -1 || size < 0) return 0;
    length = FindInputLength(wide, length);
    int count = 0;
    for (int at = 0; at < length;) {
        unsigned char out[4];
        int taken = 1, bytes;
        bool replaced = false;
        if (codePage == CP_UTF8) {
            bytes = EncodeUtf8(wide + at, length - at, out, &taken, &replaced);
        } else {
            bytes = EncodeCodePageUnit(codePage, wide[at], out);
            if (bytes == 0) {
                out[0] = '?'; // the default character of every code page here
                bytes = 1;
                replaced = true;
            }
        }
        if (replaced && usedDefault) *usedDefault = true;
        at += taken;
        if (!StoreConverted(out, bytes, text, size, &count)) return 0;
    }
    return count;
}
