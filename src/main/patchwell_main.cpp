// The native program. Its command line grows with the wizard.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("Usage: patchwell [--prefix DIR] [--update-folder DIR] [--unattended]\n");
            return 0;
        }
    }
    std::fprintf(stderr, "patchwell: the wizard is not built yet\n");
    return 2;
}
