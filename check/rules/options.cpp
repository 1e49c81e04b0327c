/*
 * The header's options: what each one the program acts on does to the
 * dialog, and why one it ignores is probably meant as an option (another
 * case, a space at either end or before `=`, a missing comma), why a
 * size= gives no size, or a window too small for its own controls.
 */
#include "rules.h"
#include "../engine/quote.h"
#include "../engine/window.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

static bool IsKnownOption(const std::string &text) { return FindMenuOption(text.c_str()) != OPTION_NONE; }

static std::string TrimSpaces(std::string text, bool front, bool back)
{
    while (back && !text.empty() && text.back() == ' ') text.pop_back();
    size_t skip = 0;
    while (front && skip < text.size() && text[skip] == ' ') skip++;
    return text.substr(skip);
}

static std::string Lowered(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return text;
}

// The text with the spaces just before its first `=` taken out.
static std::string JoinedAtEquals(const std::string &text)
{
    size_t equals = text.find('=');
    if (equals == std::string::npos) return text;
    size_t cut = equals;
    while (cut > 0 && text[cut - 1] == ' ') cut--;
    return text.substr(0, cut) + text.substr(equals);
}

// Why an option the program ignores is probably meant as one ("" when it
// is not close to any), where to mend it and how.
struct NearOption {
    const char *code;
    std::string why;
    long pos;
    std::string note;
    std::string spelling;         // the option meant
};

static NearOption WhyNotOption(const FieldScan &field, const std::string &text)
{
    // Each spelling the program would take, tried in turn.
    const struct {
        std::string spelling;
        const char *code, *why;
    } tries[] = {
        {TrimSpaces(text, false, true), "option-space", "it ends with a space"},
        {TrimSpaces(text, true, false), "option-space", "it starts with a space"},
        {JoinedAtEquals(text), "option-space", "a space before '='"},
        {Lowered(text), "option-case", "options are case-sensitive"},
        {Lowered(JoinedAtEquals(TrimSpaces(text, true, true))), "option-case",
         "options are case-sensitive and take no spaces"},
    };
    for (const auto &attempt : tries)
        if (IsKnownOption(attempt.spelling))
            return {attempt.code, attempt.why, field.firstPos, "write it as " + QuoteText(attempt.spelling),
                    attempt.spelling};
    size_t space = text.find(' ');
    if (space != std::string::npos && IsKnownOption(text.substr(0, space))) {
        if (field.breakPos >= 0)
            return {"option-comma", "it runs across a line break: a comma missing at the end of line " +
                        Number(LineOf(field.breakPos)) + "?",
                    field.breakPos, "type a comma here to end the option", text.substr(0, space)};
        return {"option-comma", "it has more text after \"" + text.substr(0, space) + "\": a comma missing?",
                PositionOfText(field, space), "type a comma here to end the option", text.substr(0, space)};
    }
    return {"unknown-option", "", field.firstPos, "the options are sorted, install and size=WIDTHxHEIGHT", ""};
}

static void CheckOption(const FieldScan &field)
{
    std::string text = Shown(field);
    if (text.empty()) return;  // an empty option, from a comma too many, is harmless
    if (!IsKnownOption(text)) {
        std::string message = "option " + QuoteText(text) + " is not recognised and is ignored";
        NearOption near = WhyNotOption(field, text);
        if (!near.why.empty()) message += ": " + near.why;
        Warn(near.code, near.pos, message, near.note);
        if (near.spelling.empty()) return;
        if (!strcmp(near.code, "option-comma"))
            FixWarning("type a comma after " + QuoteText(near.spelling), true, {Edit(near.pos, 0, ",")}, {},
                       near.spelling);
        else
            FixWarning("write it as " + QuoteText(near.spelling), true,
                       {Edit(field.firstPos, field.textEnd - field.firstPos, near.spelling)}, {}, near.spelling);
        return;
    }
    if (FindMenuOption(text.c_str()) != OPTION_SIZE) return;
    int width, height;
    long value = PositionOf(field, strlen("size="));
    if (!ScanMenuSize(text.c_str(), &width, &height)) {
        Warn("size-format", value, "option " + QuoteText(text) + " does not scan as size=WIDTHxHEIGHT: the window keeps its size",
             "write two whole numbers joined by a lowercase x, with no spaces: size=640x480");
        std::string joined = text;
        joined.erase(std::remove(joined.begin(), joined.end(), ' '), joined.end());
        if (ScanMenuSize(joined.c_str(), &width, &height) && IsMenuSizeUsable(width, height))
            FixWarning("write it as " + QuoteText(joined), true,
                       {Edit(field.firstPos, field.textEnd - field.firstPos, joined)}, {}, joined);
    }
    else if (!IsMenuSizeUsable(width, height))
        Warn("size-empty", value, "option " + QuoteText(text) + " gives no window of at least 1 x 1 pixels and is ignored",
             "give a width and a height of 1 pixel or more");
}

// Notes what an option the program acts on does to the dialog; yields
// whether it sized the window.
static bool NoteOption(const char *option)
{
    CheckedMenu *menu = Followed().menu;
    int width, height;
    switch (FindMenuOption(option)) {
    case OPTION_SORTED:
        menu->sorted = true;
        break;
    case OPTION_INSTALL:
        menu->install = true;
        break;
    case OPTION_SIZE:
        if (ScanMenuSize(option, &width, &height) && IsMenuSizeUsable(width, height)) {
            menu->hasSize = true;
            menu->width = width;
            menu->height = height;
            return true;
        }
        break;
    }
    return false;
}

static long s_sizeAt, s_sizeEnd; // the value of the size= the window takes, or -1, and its end

static void StartOptions() { s_sizeAt = -1; }

static void TakeField(int kind, const FieldScan &field)
{
    if (kind != MENU_OPTION) return;
    if (NoteOption(field.text.c_str())) {
        s_sizeAt = PositionOf(field, strlen("size="));
        // The value ends where the program's scan of it does: what follows
        // (text a quote that is never closed runs on with, to the file's
        // end) is the author's, and no fix of the size removes it.
        int scanned = 0;
        sscanf(field.text.c_str() + strlen("size="), "%*dx%*d%n", &scanned);
        s_sizeEnd = scanned > 0 ? PositionOf(field, strlen("size=") + scanned) : field.textEnd;
    }
    CheckOption(field);
}

// Once the header's options are all known: a size= too small for the
// window's controls, as the program lays them out at that size (the
// install option hides the command box).
static void CheckWindowSize()
{
    const CheckedMenu &menu = *Followed().menu;
    if (s_sizeAt < 0) return;
    std::string cramped = FindCrampedControls(menu.width, menu.height, !menu.install);
    if (cramped.empty()) return;
    int width, height;
    FindSmallestWindow(!menu.install, &width, &height);
    std::string smallest = Number(std::max(menu.width, width)) + "x" + Number(std::max(menu.height, height));
    Warn("size-cramped", s_sizeAt,
         "option " + QuoteText("size=" + Number(menu.width) + "x" + Number(menu.height)) +
             " makes the window too small for its controls: " + cramped,
         Number(width) + "x" + Number(height) + " is the smallest size that shows every control whole: write size=" +
             smallest + " or larger");
    FixWarning("write size=" + smallest, false, {Edit(s_sizeAt, s_sizeEnd - s_sizeAt, smallest)}, {},
               "size=" + smallest);
}

const RuleSet g_optionRules = {StartOptions, NULL, TakeField, NULL, NULL, CheckWindowSize};
