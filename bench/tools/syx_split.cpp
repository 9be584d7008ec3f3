// SPDX-License-Identifier: GPL-3.0-or-later
// The reference splitter of the command-line benchmarks: the least a program
// can do to list the messages of a .syx file (read in large pieces, cut at
// F0 ... first byte with the high bit set, print one line per message), written
// as plain C so the benchmarks compare tolvex-cli with the floor of the work.
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc != 2) return 2;
    FILE* in = fopen(argv[1], "rb");
    if (!in) return 1;
    static unsigned char buf[1 << 20];
    size_t got, index = 0, length = 0;
    int inMessage = 0;
    while ((got = fread(buf, 1, sizeof buf, in)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            const unsigned char b = buf[i];
            if (b == 0xF0) {
                if (inMessage) printf("%s\t%zu\t%zu\n", argv[1], index++, length);
                inMessage = 1;
                length = 1;
            } else if (inMessage) {
                ++length;
                if (b & 0x80) {
                    printf("%s\t%zu\t%zu\n", argv[1], index++, length);
                    inMessage = 0;
                }
            }
        }
    }
    if (inMessage) printf("%s\t%zu\t%zu\n", argv[1], index++, length);
    fclose(in);
    return 0;
}
