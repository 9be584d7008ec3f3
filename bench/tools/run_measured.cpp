// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a program and writes its exit status, CPU time (user + system, seconds)
// and peak resident size (KiB) to a file: "run_measured RESULT PROGRAM ARGS...".
// The whole-program benchmarks start every program through it because a
// program started straight from the benchmark (posix_spawn shares the
// benchmark's memory until the exec) reports the benchmark's own peak size as
// its own; a child of this small process starts from a few hundred KiB.
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    const pid_t pid = fork();
    if (pid < 0) return 2;
    if (pid == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    FILE* out = fopen(argv[1], "w");
    if (!out) return 2;
    fprintf(out, "%d %.6f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            (double)usage.ru_utime.tv_sec + (double)usage.ru_utime.tv_usec * 1e-6 + (double)usage.ru_stime.tv_sec +
                (double)usage.ru_stime.tv_usec * 1e-6,
            usage.ru_maxrss);
    return fclose(out) == 0 ? 0 : 2;
}
