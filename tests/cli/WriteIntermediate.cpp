// Writes the intermediate image the programs carry to a file, so the upload tests can compare what
// the simulated amp received with it byte for byte.
#include <cstdio>

#include "IntermediateImage.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) return 1;
    const auto image = kaldo::intermediateImage();
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
