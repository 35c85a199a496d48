// Writes the benchmark EVO: morvale_make_bench_evo OUTPUT SIZE_MIB [SEED]
// The file has SIZE_MIB MiB of 2,048-byte packs (see bench_evo.h for the stream mix).

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_evo.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s OUTPUT SIZE_MIB [SEED]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const uint64_t mib = std::strtoull(argv[2], nullptr, 10);
    const uint64_t seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        return 1;
    }
    bool ok = true;
    morvale::bench::makeBenchEvo(mib * 512, seed, [&](std::span<const uint8_t> bytes) {
        size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
            ok = put > 0;
            if (ok) done += static_cast<size_t>(put);
        }
    });
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        std::perror(path.c_str());
        return 1;
    }
    return 0;
}
