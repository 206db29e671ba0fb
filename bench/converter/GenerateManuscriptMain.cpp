// generate_manuscript BYTES: writes a generated manuscript to standard output.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ManuscriptGenerator.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate_manuscript BYTES\n");
        return 2;
    }
    const std::string text = quirtle::GenerateManuscript(std::strtoull(argv[1], nullptr, 10));
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
