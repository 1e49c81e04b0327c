/*
 * Writes one benchmark menu, for the start-up measurements under Wine:
 *
 *   make_menu PATH ENTRIES flat|nested [sorted]
 *
 * Prints the number of entries written (the tree's item count).
 */
#include "menu_gen.h"

#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc < 4 || (strcmp(argv[3], "flat") != 0 && strcmp(argv[3], "nested") != 0)) {
        fprintf(stderr, "usage: make_menu PATH ENTRIES flat|nested [sorted]\n");
        return 2;
    }
    MenuShape shape = {atol(argv[2]), 0, strcmp(argv[3], "nested") == 0,
                       argc > 4 && strcmp(argv[4], "sorted") == 0};
    long written = WriteBenchMenuFile(argv[1], shape);
    if (written < 0) {
        perror(argv[1]);
        return 1;
    }
    printf("%ld\n", written);
    return 0;
}
