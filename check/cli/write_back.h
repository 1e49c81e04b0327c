/*
 * Reading a menu file once and writing the mended menu back over it
 * (write_back.cpp), for every tool that changes a menu: --fix, --format.
 * The write is atomic: the new bytes go to a temporary file beside the old
 * one, which is then renamed over it (MoveFileExW with
 * MOVEFILE_REPLACE_EXISTING on Windows, where msvcrt's rename fails over an
 * existing file), so that a reader sees the old file or the new one, never
 * a part. And it loses nothing: right before the rename the file must
 * still be the one read, else nothing is written. Built with the
 * platform's own headers, not the window substitute's.
 */
#ifndef QUORLAN_CHECK_WRITE_BACK_H
#define QUORLAN_CHECK_WRITE_BACK_H

#include <stdio.h>

#include <string>

// A file as it was read: its bytes, and what tells, when the mended bytes
// are to replace it, whether it is still that file.
struct FileAsRead {
    std::string bytes;
    const char *kind = NULL;       // NULL for a regular file, the only kind written back; else "a named pipe", ...
    unsigned long long device = 0; // device and inode, or on Windows volume serial number and file index
    unsigned long long index = 0;
    unsigned long long size = 0;
    unsigned long long modified = 0; // nanoseconds, or on Windows the FILETIME's 100-nanosecond units
};

// Reads the rest of stream onto the end of *bytes; false on a read error.
bool ReadStreamWhole(FILE *stream, std::string *bytes);

// Reads the whole file at path (a name as fopen takes it, the ANSI code
// page on Windows) in one pass, so that a pipe or a device is read once
// as well, and notes what it is; a symbolic link is followed. Yields
// false with *error set ("cannot open PATH: ...") where it cannot.
bool ReadFileWhole(const std::string &path, FileAsRead *read, std::string *error);

// Writes bytes as the whole content of the file at path, read before as
// *read. Nothing is written, and false yielded with *error saying why,
// where the file is not a regular file, or where right before the rename
// it is no longer the one read (another identity, size, modification time
// or other bytes: saved by another program meanwhile) or is gone. Bytes
// equal to those read touch nothing: the modification time stays. The
// file keeps its mode and, where the system lets us, its owner; a
// symbolic link is followed, so the file it names is replaced and the
// link stays. On any failure the file is as it was, and no temporary
// file is left.
bool WriteFileAtomically(const std::string &path, const std::string &bytes, const FileAsRead &read,
                         std::string *error);

// Puts standard input and output in binary mode where the platform has one,
// so that a menu's own line ends pass through them unchanged.
void UseBinaryStdio();

#endif
