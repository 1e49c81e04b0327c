/*
 * The table generator's Windows side, run under Wine by measure-text.sh:
 *
 *   text_measure.exe OUT                measures the sort weights of every
 *                                       ANSI code page in its locale (ASCII
 *                                       only for the double-byte ones) and
 *                                       writes collate_table.cpp
 *   text_measure.exe explain CODEPAGE HEX  the platform's key and the table's
 *
 * Measuring: each byte's weights come from the sort key of its character
 * followed by a sentinel (Ä: a letter with a diacritic and a case weight,
 * so that none of the byte's own weights are trimmed from the end). Then
 * the key of every pair of bytes is compared with the key made from the
 * bytes' elements; a pair that differs is a contraction, measured the same
 * way (and every third byte around a contraction is tried as well). Last,
 * random texts are checked against the keys the table makes, and the
 * platform's comparison (CompareStringW, as lstrcmpW in the tree) against
 * the table's on every two bytes, alone and inside a word, and on random
 * texts and near misses. Whatever still differs is reported and its bytes marked
 * unsure in the table, for the checker to warn of.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../codepage.h"
#include "../collate.h"
#include "../collate_table.h"
#include "../tests/cases.h"
#include "../tests/platform.h"

/* ---- measuring the sort weights ---- */

struct Levels {
    std::string primary, diacritic, cases, extra, special;
};

static std::string PlatformKey(unsigned long locale, const std::wstring &wide)
{
    BYTE key[8192];
    int n = LCMapStringW(locale, LCMAP_SORTKEY, wide.c_str(), -1, (LPWSTR)key, sizeof(key));
    return std::string((const char *)key, n > 0 ? n : 0);
}

// Splits a key at its level marks, from the end: the special weights are
// four bytes each, the diacritic and case weights never 01, and the extra
// level is empty here; the primary weights may hold a 01. False where the
// key has no such shape.
static bool ParseKey(const std::string &key, Levels *levels)
{
    if (key.size() < 5 || key.back() != 0) return false;
    size_t end = key.size() - 1, special = end;
    while (special >= 2 && !(key[special - 1] == 1 && key[special - 2] == 1)) {
        if (special < 4) return false;
        special -= 4;
    }
    if (special < 2) return false;
    levels->special = key.substr(special, end - special);
    levels->extra.clear();
    size_t casesEnd = special - 2, casesStart = key.rfind('\1', casesEnd - 1);
    if (casesEnd == 0 || casesStart == std::string::npos) return false;
    levels->cases = key.substr(casesStart + 1, casesEnd - casesStart - 1);
    size_t diacriticStart = casesStart ? key.rfind('\1', casesStart - 1) : std::string::npos;
    if (diacriticStart == std::string::npos) return false;
    levels->diacritic = key.substr(diacriticStart + 1, casesStart - diacriticStart - 1);
    levels->primary = key.substr(0, diacriticStart);
    return true;
}

static bool StripEnd(std::string *s, const std::string &end)
{
    if (s->size() < end.size() || s->compare(s->size() - end.size(), end.size(), end) != 0) return false;
    s->resize(s->size() - end.size());
    return true;
}

struct Measure {
    unsigned codePage;
    unsigned long locale;
    SortTable table;
    std::vector<SortContraction> contractions;
    Levels sentinel;
    std::vector<std::string> problems;
    std::string folded; // bytes whose keys the comparison does not follow
    int checked, contractionMisses;
};

static const wchar_t g_sentinel[] = L"\u00C4";

static void MarkUnsure(Measure *m, const std::string &bytes, const char *why)
{
    for (unsigned char byte : bytes) m->table.unsure[byte >> 3] |= (unsigned char)(1 << (byte & 7));
    if (m->problems.size() < 12) m->problems.push_back(FormatHex(bytes) + ": " + why);
}

// Measures the element that bytes make as one; false where its key has no
// shape an element can give.
static bool MeasureElement(Measure *m, const std::string &bytes, SortElement *e)
{
    Levels l;
    if (!ParseKey(PlatformKey(m->locale, Widen(m->codePage, bytes) + g_sentinel), &l)) return false;
    if (!StripEnd(&l.primary, m->sentinel.primary) || !StripEnd(&l.diacritic, m->sentinel.diacritic) ||
        !StripEnd(&l.cases, m->sentinel.cases) || !l.extra.empty())
        return false;
    memset(e, 0, sizeof(*e));
    if (l.primary.empty() && l.diacritic.empty() && l.cases.empty() && l.special.empty()) {
        e->kind = SORT_IGNORE;
        return true;
    }
    if (l.primary.empty() && l.diacritic.empty() && l.cases.empty() && l.special.size() == 4 &&
        (unsigned char)l.special[0] == 0xFF && (unsigned char)l.special[1] == 0xFF) {
        e->kind = SORT_SPECIAL;
        memcpy(e->weights, l.special.data() + 2, 2);
        return true;
    }
    if (l.primary.empty() && l.diacritic.size() == 1 && l.cases.empty() && l.special.empty()) {
        e->kind = SORT_NONSPACE;
        e->weights[0] = (unsigned char)l.diacritic[0];
        return true;
    }
    if (l.primary.empty() || !l.special.empty() ||
        l.primary.size() + l.diacritic.size() + l.cases.size() > SORT_MAX_BYTES)
        return false;
    // A weight of 01 00 after another is a non-spacing mark that the key
    // writes as a weight of its own; the comparison adds its diacritic to
    // the one before, as for any mark (U+0385 is U+00A8 and U+0301 there).
    for (size_t i = 2; l.primary.size() == 2 * l.diacritic.size() && l.diacritic.size() == l.cases.size() &&
                       i + 1 < l.primary.size();) {
        if (l.primary[i] != 1 || l.primary[i + 1] != 0 || (unsigned char)l.cases[i / 2] > 2) {
            i += 2;
            continue;
        }
        l.diacritic[i / 2 - 1] = (char)(l.diacritic[i / 2 - 1] + l.diacritic[i / 2]);
        l.primary.erase(i, 2);
        l.diacritic.erase(i / 2, 1);
        l.cases.erase(i / 2, 1);
        if (bytes.size() == 1) m->folded += bytes;
    }
    e->kind = SORT_WEIGHTS;
    e->primary = (unsigned char)l.primary.size();
    e->diacritic = (unsigned char)l.diacritic.size();
    e->cases = (unsigned char)l.cases.size();
    memcpy(e->weights, (l.primary + l.diacritic + l.cases).data(), e->primary + e->diacritic + e->cases);
    return true;
}

static void UseContractions(Measure *m)
{
    std::sort(m->contractions.begin(), m->contractions.end(),
              [](const SortContraction &a, const SortContraction &b) {
                  return memcmp(a.bytes, b.bytes, SORT_MAX_CONTRACTION) < 0;
              });
    m->table.contractions = m->contractions.data();
    m->table.contractionCount = (int)m->contractions.size();
}

// Yields whether the table makes the platform's key of bytes; true, unseen,
// where they hold a byte the comparison weighs unlike its key (those are
// checked by comparing only).
static bool KeyMatches(Measure *m, const std::string &bytes)
{
    if (bytes.find_first_of(m->folded) != std::string::npos) return true;
    std::string mine;
    AppendSortKey(&m->table, m->codePage, bytes.c_str(), &mine);
    mine += '\0';
    m->checked++;
    return mine == PlatformKey(m->locale, Widen(m->codePage, bytes));
}

// Checks the key of bytes; where it differs, measures bytes as a
// contraction, and marks them unsure where that does not mend it either.
static void CheckSequence(Measure *m, const std::string &bytes)
{
    if (KeyMatches(m, bytes)) return;
    SortContraction c = {};
    c.length = (unsigned char)bytes.size();
    memcpy(c.bytes, bytes.data(), bytes.size());
    if (bytes.size() <= SORT_MAX_CONTRACTION && MeasureElement(m, bytes, &c.element)) {
        m->contractions.push_back(c);
        UseContractions(m);
        if (KeyMatches(m, bytes)) return;
        m->contractions.erase(std::find_if(m->contractions.begin(), m->contractions.end(),
                                           [&](const SortContraction &x) {
                                               return memcmp(x.bytes, c.bytes, SORT_MAX_CONTRACTION) == 0;
                                           }));
        UseContractions(m);
    }
    m->contractionMisses++;
    MarkUnsure(m, bytes, "its key is not the one its elements make");
}

static unsigned NextRandom(unsigned *state)
{
    *state = *state * 1103515245u + 12345u;
    return (*state >> 16) & 0x7FFF;
}

static void MeasureCodePage(Measure *m, FILE *report)
{
    memset(&m->table, 0, sizeof(m->table));
    m->table.codePage = m->codePage;
    m->table.locale = m->locale;
    m->checked = m->contractionMisses = 0;
    m->folded.clear();
    if (!ParseKey(PlatformKey(m->locale, g_sentinel), &m->sentinel) || m->sentinel.primary.size() != 2 ||
        m->sentinel.diacritic.size() != 1 || m->sentinel.cases.size() != 1 ||
        m->sentinel.diacritic[0] == 2 || m->sentinel.cases[0] == 2) {
        fprintf(report, "%u: the sentinel has no diacritic and case weight here\n", m->codePage);
        exit(1);
    }
    int last = FindLastSortByte(m->codePage);
    m->table.approximate = last < 0xFF;
    for (int b = 1; b <= last; b++) {
        if (!MeasureElement(m, std::string(1, (char)b), &m->table.bytes[b]))
            MarkUnsure(m, std::string(1, (char)b), "its key has no shape an element can give");
    }
    UseContractions(m);
    for (int a = 1; a <= last; a++)
        for (int b = 1; b <= last; b++) CheckSequence(m, {(char)a, (char)b});
    std::vector<SortContraction> pairs = m->contractions;
    for (const SortContraction &c : pairs) {
        for (int x = 1; x <= last; x++) {
            std::string pair((const char *)c.bytes, c.length);
            CheckSequence(m, pair + (char)x);
            CheckSequence(m, (char)x + pair);
        }
    }

    // Random texts, with the bytes that weigh unlike letters drawn often.
    std::string odd;
    for (int b = 1; b <= last; b++)
        if (m->table.bytes[b].kind != SORT_WEIGHTS) odd += (char)b;
    for (const SortContraction &c : m->contractions) odd.append((const char *)c.bytes, c.length);
    unsigned state = m->codePage;
    int randomMisses = 0;
    for (int i = 0; i < 20000; i++) {
        std::string text;
        int length = 1 + NextRandom(&state) % 8;
        for (int k = 0; k < length; k++) {
            unsigned r = NextRandom(&state);
            text += r & 1 && !odd.empty() ? odd[(r >> 1) % odd.size()] : (char)(1 + (r >> 1) % last);
        }
        if (!KeyMatches(m, text)) {
            randomMisses++;
            MarkUnsure(m, text, "a random text's key differs");
        }
    }

    // The comparison the tree uses against the table's: every two bytes,
    // then texts and their near misses.
    std::vector<std::string> pairsToCompare = MakeComparePairs(m->codePage, 20000, 7);
    for (int a = 1; a <= last; a++) {
        for (int b = 1; b <= last; b++) {
            for (const char *word : {"%c", "a%cc"}) {
                char text[8];
                snprintf(text, sizeof(text), word, a);
                pairsToCompare.push_back(text);
                snprintf(text, sizeof(text), word, b);
                pairsToCompare.push_back(text);
            }
        }
    }
    int compareMisses = 0;
    for (size_t i = 0; i < pairsToCompare.size(); i += 2) {
        const char *a = pairsToCompare[i].c_str(), *b = pairsToCompare[i + 1].c_str();
        int platform = PlatformCompare(m->codePage, a, b);
        int table = CompareSortLevels(&m->table, m->codePage, a, b);
        if ((platform < 0) != (table < 0) || (platform > 0) != (table > 0)) {
            compareMisses++;
            MarkUnsure(m, pairsToCompare[i] + pairsToCompare[i + 1],
                       ("CompareStringW differs: " + FormatHex(a) + " " + FormatHex(b)).c_str());
        }
    }
    int kinds[4] = {0, 0, 0, 0};
    for (int b = 1; b <= last; b++) kinds[m->table.bytes[b].kind]++;
    int unsure = 0;
    for (int b = 0; b < 256; b++) unsure += (m->table.unsure[b >> 3] >> (b & 7)) & 1;
    fprintf(report,
            "%u (locale %04lx): %d letters and symbols, %d special, %d non-spacing, %d weighing nothing; "
            "%d contractions; %d keys checked, %d pairs not mended, %d of 20000 random texts and %d of "
            "%d comparisons differ; %d bytes unsure\n",
            m->codePage, m->locale, kinds[SORT_WEIGHTS], kinds[SORT_SPECIAL], kinds[SORT_NONSPACE],
            kinds[SORT_IGNORE], (int)m->contractions.size(), m->checked, m->contractionMisses, randomMisses,
            compareMisses, (int)pairsToCompare.size() / 2, unsure);
    if (!m->folded.empty())
        fprintf(report, "    weighed by comparing only: %s\n", FormatHex(m->folded).c_str());
    for (const std::string &problem : m->problems) fprintf(report, "    %s\n", problem.c_str());
}

static void WriteElement(FILE *out, const SortElement &e)
{
    int n = e.kind == SORT_WEIGHTS ? e.primary + e.diacritic + e.cases : e.kind == SORT_SPECIAL ? 2
          : e.kind == SORT_NONSPACE;
    fprintf(out, "{%d, %d, %d, %d, {", e.kind, e.primary, e.diacritic, e.cases);
    for (int i = 0; i < n; i++) fprintf(out, "%s0x%02x", i ? ", " : "", e.weights[i]);
    fprintf(out, "}}");
}

static void WriteTables(FILE *out, std::vector<Measure> &measures)
{
    fprintf(out,
            "/*\n * Sort weights of the code pages, each in its locale (ASCII only for the\n"
            " * double-byte ones), measured under Wine by check/text/tools/measure-text.sh:\n"
            " * do not edit. See collate_table.h for what the numbers are.\n */\n"
            "#include \"collate_table.h\"\n");
    for (Measure &m : measures) {
        fprintf(out, "\nstatic const SortContraction g_contractions%u[] = {\n", m.codePage);
        for (const SortContraction &c : m.contractions) {
            fprintf(out, "    {%d, {", c.length);
            for (int i = 0; i < c.length; i++) fprintf(out, "%s0x%02x", i ? ", " : "", c.bytes[i]);
            fprintf(out, "}, ");
            WriteElement(out, c.element);
            fprintf(out, "},\n");
        }
        if (m.contractions.empty()) fprintf(out, "    {0, {0}, {0, 0, 0, 0, {0}}},\n");
        fprintf(out, "};\n");
    }
    fprintf(out, "\nstatic const SortTable g_tables[] = {\n");
    for (Measure &m : measures) {
        fprintf(out, "    {%u, 0x%04lx, {\n", m.codePage, m.locale);
        for (int b = 0; b < 256; b++) {
            fprintf(out, "        ");
            WriteElement(out, m.table.bytes[b]);
            fprintf(out, ", // %02x\n", b);
        }
        fprintf(out, "    }, g_contractions%u, %d, {", m.codePage, (int)m.contractions.size());
        for (int i = 0; i < 32; i++) fprintf(out, "%s0x%02x", i ? ", " : "", m.table.unsure[i]);
        fprintf(out, "}, %s},\n", m.table.approximate ? "true" : "false");
    }
    fprintf(out,
            "};\n\nconst SortTable *FindSortTable(unsigned codePage)\n{\n"
            "    for (const SortTable &table : g_tables)\n"
            "        if (table.codePage == codePage) return &table;\n"
            "    return 0;\n}\n");
}

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "explain") == 0) {
        // The platform's key of the bytes given as hex against the table's.
        unsigned codePage = (unsigned)atoi(argv[2]);
        std::string bytes;
        for (const char *p = argv[3]; p[0] && p[1]; p += 2) bytes += (char)strtol(std::string(p, 2).c_str(), NULL, 16);
        std::string mine;
        AppendSortKey(FindSortTable(codePage), codePage, bytes.c_str(), &mine);
        printf("platform %s\ntable    %s\n", FormatHex(PlatformKey(FindCodePageLocale(codePage), Widen(codePage, bytes))).c_str(),
               FormatHex(mine + '\0').c_str());
        return 0;
    }
    if (argc == 2) {
        std::vector<unsigned> codePages = ListAnsiCodePages();
        std::vector<Measure> measures(codePages.size());
        for (size_t i = 0; i < measures.size(); i++) {
            measures[i].codePage = codePages[i];
            measures[i].locale = FindCodePageLocale(codePages[i]);
            MeasureCodePage(&measures[i], stdout);
            fflush(stdout);
        }
        FILE *out = OpenOutput(argv[1]);
        WriteTables(out, measures);
        return fclose(out) != 0;
    }
    fprintf(stderr, "usage: text_measure OUT | explain CODEPAGE HEX\n");
    return 2;
}
