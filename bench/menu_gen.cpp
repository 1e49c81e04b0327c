/*
 * Writes the benchmark menus. In the written kind every fifth description
 * spans two lines inside its quotes, so the reader sees quoted line breaks
 * as well as folded white space between entries.
 */
#include "menu_gen.h"
#include "../menu/menu.h"
#include "../res/resource.h"

#include <subst.h>

#include <stdlib.h>

struct MenuWriter {
    FILE *out;
    const MenuShape *shape;
    long written;  // entries so far
    long bytes;    // bytes so far
};

static bool IsFull(const MenuWriter &w)
{
    return w.written >= w.shape->entries || (w.shape->bytes > 0 && w.bytes >= w.shape->bytes);
}

static void WriteIndent(MenuWriter &w, int depth)
{
    for (int i = 0; i <= depth; i++) w.bytes += fprintf(w.out, "  ");
}

// One entry: name, command and quoted description, then the separator or
// the opening of its nested level.
static void WriteEntry(MenuWriter &w, int depth, bool opensLevel)
{
    long n = ++w.written;
    WriteIndent(w, depth);
    w.bytes += fprintf(w.out, "Entry %07ld, %%:\\apps\\e%07ld\\setup.exe /quiet, ", n, n);
    if (n % 5 == 0)
        w.bytes += fprintf(w.out, "'Installs entry %ld with its documents, examples and tools,\r\n"
                                  "    then opens its readme.'", n);
    else
        w.bytes += fprintf(w.out, "'Installs entry %ld, then starts it.'", n);
    w.bytes += fprintf(w.out, opensLevel ? " {\r\n" : ",\r\n");
}

static void WriteLevel(MenuWriter &w, int depth)
{
    for (int i = 0; (depth == 0 || i < NEST_FANOUT) && !IsFull(w); i++) {
        bool opensLevel = w.shape->nested && depth < NEST_DEPTH;
        WriteEntry(w, depth, opensLevel);
        if (opensLevel) {
            WriteLevel(w, depth + 1);
            WriteIndent(w, depth);
            w.bytes += fprintf(w.out, "}\r\n");
        }
    }
}

// The next of a fixed series of pseudo-random numbers (xorshift): the same
// words in every run.
static unsigned long long NextRandom(unsigned long long *state)
{
    unsigned long long x = *state;
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return *state = x;
}

// Writes count bytes of words and spaces, the first word numbered n.
static void WriteFiller(MenuWriter &w, const char *first, long n, long count)
{
    static const char text[] = " lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod";
    long written = fprintf(w.out, "%s %07ld", first, n);
    for (; written < count; written++) fputc(text[written % (sizeof(text) - 1)], w.out);
    w.bytes += written;
}

// One entry of a kind that repeats a pattern, or for MENU_BRACES one brace.
static void WritePattern(MenuWriter &w, unsigned long long *random)
{
    long n = ++w.written;
    switch (w.shape->kind) {
    case MENU_GROUPS:
        w.bytes += fprintf(w.out, "  Group %07ld, , 'Holds one entry.' {\r\n"
                                  "    Entry %07ld, %%:\\apps\\e%07ld.exe, 'Starts it.'\r\n  }\r\n", n, n, n);
        break;
    case MENU_WORDS: {
        // Letters, then a capital now and then, as names are written.
        char word[16];
        int length = 3 + (int)(NextRandom(random) % 8);
        for (int i = 0; i < length; i++) word[i] = (char)('a' + NextRandom(random) % 26);
        if (NextRandom(random) % 3 == 0) word[0] = (char)(word[0] - 'a' + 'A');
        word[length] = '\0';
        w.bytes += fprintf(w.out, "  %s, notepad x%ld.txt, d,\r\n", word, n);
        break;
    }
    case MENU_LONG_FIELDS:
        w.bytes += fprintf(w.out, "  ");
        WriteFiller(w, "Name", n, LONG_NAME_BYTES);
        w.bytes += fprintf(w.out, ", notepad x%ld.txt, ", n);
        WriteFiller(w, "Description", n, LONG_DESCRIPTION_BYTES);
        w.bytes += fprintf(w.out, ",\r\n");
        break;
    case MENU_SLIPS:
        w.bytes += fprintf(w.out, "  Offer %ld, offer.pdf, Save 20%% today,\r\n", n);
        break;
    case MENU_NO_COMMAS:
        w.bytes += fprintf(w.out, "  Entry %ld, e%ld.exe, Starts it\r\n", n, n);
        break;
    case MENU_BRACES:
        fputc('{', w.out);
        w.bytes++;
        break;
    }
}

long WriteBenchMenu(FILE *out, const MenuShape &shape)
{
    MenuWriter w = {out, &shape, 0, 0};
    if (shape.kind == MENU_BRACES) {
        w.bytes += fprintf(out, "M ");
        while (!IsFull(w)) WritePattern(w, NULL);
        return w.written;
    }
    // No size= option: the window keeps the template's size, as the floor's
    // does, so that start-ups compare like with like.
    w.bytes += fprintf(out, "Benchmark Disc%s\r\n{\r\n", shape.sorted ? ", sorted" : "");
    unsigned long long random = 88172645463325252ULL;
    if (shape.kind == MENU_WRITTEN) WriteLevel(w, 0);
    else while (!IsFull(w)) WritePattern(w, &random);
    w.bytes += fprintf(out, "}\r\n");
    return w.written;
}

long WriteBenchMenuFile(const char *path, const MenuShape &shape)
{
    FILE *out = fopen(path, "wb");
    if (!out) return -1;
    long written = WriteBenchMenu(out, shape);
    return fclose(out) == 0 ? written : -1;
}

HWND LoadBenchMenu(const char *path)
{
    HWND hDlg = SubstCreateMainDialog(NULL);
    FILE *stream = fopen(path, "rb");
    ReadMenuStream(hDlg, stream);
    if (stream) fclose(stream);
    return hDlg;
}

void UnloadBenchMenu(HWND hDlg)
{
    HWND hTree = GetDlgItem(hDlg, IDC_TREE);
    FreeEntries(hTree, GetTreeItem(hTree, TVGN_ROOT, NULL));
    SubstDestroyWindow(hDlg);
    SubstClearRecords();
}

bool MakeMenuFolder(const char *prefix, std::string *folder)
{
    const char *tmp = getenv("TMPDIR");
    *folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (mkdtemp(&(*folder)[0])) return true;
    perror("mkdtemp");
    return false;
}
