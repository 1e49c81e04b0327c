/*
 * A stream over bytes already in memory, for the loading, which reads its
 * file as a stream and starts again from the first byte. Used for standard
 * input and for the editor's documents. Names nothing of the platform's:
 * bytes_stream.cpp is built with the platform's own headers, its callers
 * with the substitute's.
 */
#ifndef QUORLAN_CHECK_BYTES_STREAM_H
#define QUORLAN_CHECK_BYTES_STREAM_H

#include <stdio.h>

#include <string>

// Yields a stream that reads the bytes from their start, or null. The bytes
// must outlive the stream: natively it reads them where they are.
FILE *OpenBytesStream(const std::string &bytes);

#endif
