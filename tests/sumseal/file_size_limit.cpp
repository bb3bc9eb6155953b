// file_size_limit BYTES PROGRAM [ARGUMENT...]: runs the program with its files limited to BYTES,
// as a full disk would limit them. A write beyond the limit fails with EFBIG instead of
// killing the program (SIGXFSZ is ignored, and stays ignored across exec).
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: file_size_limit BYTES PROGRAM [ARGUMENT...]\n");
        return 127;
    }
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = std::strtoull(argv[1], nullptr, 10);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::perror("setrlimit");
        return 127;
    }
    signal(SIGXFSZ, SIG_IGN);
    execv(argv[2], argv + 2);
    std::perror(argv[2]);
    return 127;
}
