/*
 * The native side of the differential tests: the checker's own
 * conversions, comparison and tree order, printed as reference.exe prints
 * the platform's (see cases.h).
 *
 *   text_print conversions OUT
 *   text_print sort CODEPAGE OUT
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../codepage.h"
#include "../collate.h"
#include "cases.h"

int main(int argc, char **argv)
{
    int status = RunSharedMode(argc, argv, DecodeText, EncodeText, CompareNames, SortAsTree);
    if (status >= 0) return status;
    fprintf(stderr, "usage: text_print conversions OUT | sort CODEPAGE OUT\n");
    return 2;
}
