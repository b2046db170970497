// Stands in for the text editor in tests: records the file it was asked to open.

#include <cstdio>

int main(int argc, char** argv) {
    std::FILE* log = std::fopen("editor_probe.log", "ab");
    if (log == nullptr) {
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        std::fprintf(log, "%s\n", argv[i]);
    }
    std::fclose(log);
    return 0;
}
