/*
 * Writes the benchmark menus. Every fifth description spans two lines
 * inside its quotes, so the reader sees quoted line breaks as well as
 * folded white space between entries.
 */
#include "menu_gen.h"

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

long WriteBenchMenu(FILE *out, const MenuShape &shape)
{
    MenuWriter w = {out, &shape, 0, 0};
    // No size= option: the window keeps the template's size, as the floor's
    // does, so that start-ups compare like with like.
    w.bytes += fprintf(out, "Benchmark Disc%s\r\n{\r\n", shape.sorted ? ", sorted" : "");
    WriteLevel(w, 0);
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
