/*
 * quorlan-check --lsp: the checker as a language server, over standard
 * input and output. server.cpp speaks the protocol (framing, JSON-RPC)
 * and hands each method to its feature's file (diagnostics.cpp,
 * symbols.cpp, actions.cpp, formatting.cpp, completion.cpp, outline.cpp,
 * links.cpp, tokens.cpp, watch.cpp) through its table; the features
 * answer, and the server sends. session.cpp holds the open documents and
 * the settings; document.cpp turns a document into the bytes the program
 * would read and the checker's report into the editor's positions;
 * files.cpp is what differs between the platforms (file addresses,
 * reading files, waiting input).
 *
 * This header names nothing of the platform's, as files.cpp is built
 * with the platform's own headers and the others with the substitute's.
 */
#ifndef QUORLAN_CHECK_LSP_H
#define QUORLAN_CHECK_LSP_H

#include <stdio.h>

#include <string>

// The largest file the server checks: beyond it, one diagnostic says so.
#define LSP_MAX_FILE (64L * 1024 * 1024)

/* server.cpp: serves one client until "exit" or the end of its input; yields
   the exit status (0 after "shutdown", else 1). */
int ServeLanguageClient(FILE *in, FILE *out, const char *version);

/* files.cpp */
// Yields the file's path for a file: address (percent escapes decoded;
// on Windows "file:///c%3A/a/b" gives "c:\a\b"), or "" for anything else.
std::string PathOfFileUri(const std::string &uri);
// The file: address of a path of this machine, written as editors write
// addresses ("file:///c%3A/a/b" for "c:\a\b" on Windows), "." and ".."
// resolved as the path's parts.
std::string FileUriOfPath(const std::string &path);
// Reads a whole file of at most limit bytes: 1 read, 0 larger than limit
// (*size says how large), -1 unreadable.
int ReadFileBytes(const std::string &path, long limit, std::string *bytes, long long *size);
// The folder of a path as the checker takes it for its file look-ups.
std::string FolderForChecker(const std::string &path);
// The drive letter a path starts with, or 0.
char DriveOfPath(const std::string &path);
// Reads what the input has, up to size bytes, waiting for at least one:
// yields the count, 0 at its end, below 0 on an error.
long ReadInput(FILE *in, char *buffer, long size);
// Whether reading the input would not wait: bytes, or its end, are there.
bool IsInputWaiting(FILE *in);

#endif
