/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The least a program can do to write the files of an export: each file created under its
 * final name, written with one call and closed, its bytes taken from one mapped file.
 *
 * Usage: export-floor PACK DEST
 * PACK holds the files one after another, each as its name, a NUL, its size in decimal, a NUL,
 * and its bytes; DEST is an existing, empty folder. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

static int fail(const char* what, const char* name) {
    fprintf(stderr, "export-floor: %s %s: %s\n", what, name, strerror(errno));
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: export-floor PACK DEST\n");
        return 2;
    }
    const int pack = open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (pack < 0 || fstat(pack, &st) != 0)
        return fail("cannot open", argv[1]);
    const char* at = st.st_size > 0 ? mmap(NULL, st.st_size, PROT_READ, MAP_PRIVATE, pack, 0) : "";
    if (at == MAP_FAILED)
        return fail("cannot map", argv[1]);
    const char* end = at + st.st_size;
    const int dest = open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dest < 0)
        return fail("cannot open", argv[2]);
    while (at < end) {
        const char* name = at;
        const char* sizeText = memchr(name, 0, end - name);
        const char* bytes = sizeText ? memchr(sizeText + 1, 0, end - sizeText - 1) : NULL;
        if (!bytes) {
            fprintf(stderr, "export-floor: %s is cut short\n", argv[1]);
            return 1;
        }
        ++sizeText;
        ++bytes;
        const size_t size = strtoull(sizeText, NULL, 10);
        if (size > (size_t)(end - bytes)) {
            fprintf(stderr, "export-floor: %s is cut short\n", argv[1]);
            return 1;
        }
        const int fd = openat(dest, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return fail("cannot create", name);
        for (size_t done = 0; done < size;) {
            const ssize_t n = write(fd, bytes + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail("cannot write", name);
            done += (size_t)n;
        }
        if (close(fd) != 0)
            return fail("cannot close", name);
        at = bytes + size;
    }
    return 0;
}
