/*
 * The follower: the program's own loading reports each result of its
 * reader (with where it stands in the file), each field with its kind and
 * the token that ended it, each entry and each level it opens and closes.
 * The follower makes fields, entries and levels of those reports as they
 * come, and hands each to the rule sets, which draw the warnings from
 * them. Nothing here walks the menu's grammar.
 */
#include "engine.h"

#include <string.h>

#include <algorithm>

// What the follower knows between two reports.
static MenuFollowing s_follow;
// The rule sets' steps, each kept apart with only the sets that have it,
// in the sets' order: the reports come once a byte, and most sets take none.
#define MAX_RULE_SETS 16
template <typename Step> struct Steps {
    Step steps[MAX_RULE_SETS];
    int count;
};

static struct {
    Steps<void (*)()> start, finish;
    Steps<void (*)(const MenuReport &)> takeReport, takeLevel;
    Steps<void (*)(int, const FieldScan &)> takeField;
    Steps<void (*)(const FieldScan *, int, bool)> takeEntry;
    FieldScan field;              // the field being read
    FieldScan entry[3];           // the entry's fields read so far
    int entryFields;
} s_steps;

const MenuFollowing &Followed() { return s_follow; }

int FieldLimit(int kind) { return kind == MENU_DESCRIPTION ? MAX_DESCRIPTION : MAX_FIELD; }

// Calls each rule set's step of that name, with the arguments given.
#define FOR_EACH_RULE_SET(step, ...)                                                                          \
    for (int i = 0; i < s_steps.step.count; i++) s_steps.step.steps[i](__VA_ARGS__)

// Keeps the step, if the set has it.
template <typename Step> static void KeepStep(Steps<Step> *steps, Step step)
{
    if (step && steps->count < MAX_RULE_SETS) steps->steps[steps->count++] = step;
}

// Empties a field for the next one, keeping its buffers' room: a menu is
// mostly short fields, and allocating afresh for each one doubles the time.
static void StartField(FieldScan *field)
{
    field->text.clear();
    field->raw.clear();
    field->rawPos.clear();
    field->fromDrive.clear();
    field->length = 0;
    field->firstPos = field->textEnd = field->nulIndex = field->nulPos = -1;
    field->breakPos = field->lastBreakPos = field->pendingBreak = -1;
    field->leadingFold = false;
}

// Takes one byte of field text, standing at pos, reported as event.
static void AddFieldByte(FieldScan *field, int value, long pos, int event)
{
    bool folded = event == MENU_FOLDED;
    if (field->firstPos < 0) {
        field->firstPos = pos;
        field->leadingFold = folded;
    }
    if (field->pendingBreak >= 0) {
        if (field->breakPos < 0) field->breakPos = field->pendingBreak;
        field->lastBreakPos = field->pendingBreak;
    }
    field->pendingBreak = folded && RunHoldsLineFeed(pos) ? pos : -1;
    if (!folded) field->textEnd = pos + 1;
    if (value == 0 && field->nulIndex < 0) {
        field->nulIndex = field->length;
        field->nulPos = pos;
    }
    if (field->length <= MAX_FIELD) field->fromDrive.push_back(event == MENU_DRIVE);
    if (field->length <= MAX_DESCRIPTION) field->rawPos.push_back(pos);
    if (field->length <= MAX_DESCRIPTION) field->raw += (char)value;
    field->length++;
}

// Takes a field that the loading has collected: its kept text, the count
// of every byte, the token that ended it.
static void EndField(const MenuReport &report)
{
    FieldScan &field = s_steps.field;
    int kind = report.event;
    field.text.assign(report.text, std::min(report.length, (long)FieldLimit(kind)));
    field.converted = report.utf8File;
    field.token = report.token;
    field.tokenPos = s_follow.lastPos;
    if ((kind == MENU_TITLE || kind == MENU_OPTION) && s_follow.headerBreak < 0)
        s_follow.headerBreak = field.breakPos;
    FOR_EACH_RULE_SET(takeField, kind, field);
    if (kind != MENU_TITLE && kind != MENU_OPTION) std::swap(s_steps.entry[s_steps.entryFields++], field);
    StartField(&field);
}

// A level starts: the body after the header's `{` (or at the end of a file
// that has none), or a nested level, kept or joined to the deepest.
static void StartLevel(const MenuReport &report)
{
    if (!s_follow.bodyStarted) {
        s_follow.bodyStarted = true;
        s_follow.bodyOpened = report.token == TOK_OPEN;
        if (!s_follow.bodyOpened) return;
    }
    s_follow.openBraces.push_back(s_follow.lastPos);
    if (report.event == MENU_JOINED) s_follow.joinedOpen++;
}

static void EndLevel(const MenuReport &report)
{
    if (report.token == TOK_CLOSE && !s_follow.openBraces.empty()) {
        s_follow.openBraces.pop_back();
        if (s_follow.openBraces.empty()) s_follow.listClosedAt = s_follow.lastPos;
    }
    if (report.event == MENU_JOINED_END) s_follow.joinedOpen--;
}

// The hook: takes each report of the loading in turn.
void FollowMenu(const MenuReport *report)
{
    s_follow.inQuote = report->inQuote;
    s_follow.utf8File = report->utf8File;
    switch (report->event) {
    case MENU_RESULT:
    case MENU_FOLDED:
    case MENU_DRIVE:
    case MENU_ESCAPED:
        if (report->token >= 0) AddFieldByte(&s_steps.field, report->token, report->offset, report->event);
        // The `{` that opens the list and the end of the file are not the header's.
        if (!s_follow.bodyStarted && report->event != MENU_FOLDED && report->token != TOK_OPEN &&
            report->token != TOK_EOF)
            s_follow.headerEnd = report->offset + 1;
        FOR_EACH_RULE_SET(takeReport, *report);
        s_follow.lastValue = report->token;
        s_follow.lastPos = report->offset;
        break;
    case MENU_QUOTE:
        if (report->inQuote) s_follow.quoteOpenedAt = report->offset;
        FOR_EACH_RULE_SET(takeReport, *report);
        break;
    case MENU_TITLE:
    case MENU_OPTION:
    case MENU_NAME:
    case MENU_COMMAND:
    case MENU_DESCRIPTION:
        EndField(*report);
        break;
    case MENU_ENTRY:
    case MENU_EMPTY_ENTRY:
        FOR_EACH_RULE_SET(takeEntry, s_steps.entry, s_steps.entryFields, report->event == MENU_ENTRY);
        s_steps.entryFields = 0;
        break;
    case MENU_LEVEL:
    case MENU_JOINED:
        StartLevel(*report);
        FOR_EACH_RULE_SET(takeLevel, *report);
        break;
    case MENU_LEVEL_END:
    case MENU_JOINED_END:
        EndLevel(*report);
        FOR_EACH_RULE_SET(takeLevel, *report);
        break;
    }
}

// Readies the follower for a file's loading, with the rule sets to ask.
void StartFollowingMenu(const std::string &bytes, const CheckSettings &settings, CheckedMenu *menu,
                        std::vector<MenuWarning> *warnings, const RuleSet *const *ruleSets, int count)
{
    StartPositions(bytes);
    StartDiagnostics(warnings, bytes);
    s_steps.start.count = s_steps.finish.count = s_steps.takeReport.count = s_steps.takeLevel.count = 0;
    s_steps.takeField.count = s_steps.takeEntry.count = 0;
    for (int i = 0; i < count; i++) {
        KeepStep(&s_steps.start, ruleSets[i]->start);
        KeepStep(&s_steps.takeReport, ruleSets[i]->takeReport);
        KeepStep(&s_steps.takeField, ruleSets[i]->takeField);
        KeepStep(&s_steps.takeEntry, ruleSets[i]->takeEntry);
        KeepStep(&s_steps.takeLevel, ruleSets[i]->takeLevel);
        KeepStep(&s_steps.finish, ruleSets[i]->finish);
    }
    StartField(&s_steps.field);
    s_steps.entryFields = 0;
    s_follow.bytes = &bytes;
    s_follow.settings = &settings;
    s_follow.menu = menu;
    s_follow.lastValue = TOK_EOF;
    s_follow.lastPos = 0;
    s_follow.inQuote = s_follow.utf8File = false;
    s_follow.quoteOpenedAt = 0;
    s_follow.bodyStarted = s_follow.bodyOpened = false;
    s_follow.headerEnd = 0;
    s_follow.headerBreak = s_follow.listClosedAt = -1;
    s_follow.joinedOpen = 0;
    s_follow.openBraces.clear();
    menu->hasSize = menu->sorted = menu->install = false;
    menu->width = menu->height = 0;
    FOR_EACH_RULE_SET(start);
}

// Once the loading is done: one more result of the reader after a list
// that closed, to see whether anything follows it; then what the loading
// left open, and the warnings in the file's order.
void FinishFollowingMenu(FILE *stream)
{
    if (s_follow.bodyOpened && s_follow.openBraces.empty()) ReadMenuChar(stream);
    FOR_EACH_RULE_SET(finish);
    FinishDiagnostics();
}
