/*
 * The checker's diagnostics: each warning points where the author types the
 * mend, and its note says how, at the same place or where the mend goes.
 * They are listed in the order of the places they point at.
 */
#include "engine.h"

#include <algorithm>

static std::vector<MenuWarning> *s_warnings; // the check's list

void StartDiagnostics(std::vector<MenuWarning> *warnings) { s_warnings = warnings; }

std::string Number(long n) { return std::to_string(n); }

// Adds a warning at pos with its note at notePos (-1: at pos as well).
void AddWarning(long pos, const std::string &message, long notePos, const std::string &note)
{
    MenuWarning warning;
    warning.offset = ClampedPosition(pos);
    warning.line = LineOf(pos);
    warning.column = ColumnOf(pos);
    warning.message = message;
    if (notePos < 0) notePos = pos;
    warning.noteLine = LineOf(notePos);
    warning.noteColumn = ColumnOf(notePos);
    warning.note = note;
    s_warnings->push_back(warning);
}

// Adds a warning whose note points at the same place.
void Warn(long pos, const std::string &message, const std::string &note) { AddWarning(pos, message, -1, note); }

// Puts the warnings in the file's order; those at one place stay in the
// order they were found.
void FinishDiagnostics()
{
    std::stable_sort(s_warnings->begin(), s_warnings->end(),
                     [](const MenuWarning &a, const MenuWarning &b) { return a.offset < b.offset; });
}
