/*
 * Writing a mended menu back over its file (write_back.cpp), for every tool
 * that changes a menu: --fix, --format, an editor's edits saved by the
 * server. The write is atomic: the new bytes go to a temporary file beside
 * the old one, which is then renamed over it (MoveFileExW with
 * MOVEFILE_REPLACE_EXISTING on Windows, where msvcrt's rename fails over an
 * existing file), so that a reader sees the old file or the new one, never
 * a part. Built with the platform's own headers, not the window
 * substitute's.
 */
#ifndef QUORLAN_CHECK_WRITE_BACK_H
#define QUORLAN_CHECK_WRITE_BACK_H

#include <string>

// Writes bytes as the whole content of the file at path, a name as fopen
// takes it (the ANSI code page on Windows). A file that already holds
// exactly these bytes is not touched: its modification time stays. The
// file keeps its mode and, where the system lets us, its owner; a symbolic
// link is followed, so the file it names is replaced and the link stays.
// Yields false with *error set when nothing could be written; the file is
// then as it was.
bool WriteFileAtomically(const std::string &path, const std::string &bytes, std::string *error);

// Puts standard input and output in binary mode where the platform has one,
// so that a menu's own line ends pass through them unchanged.
void UseBinaryStdio();

#endif
