// Entry point of ReefTools.exe.
int main() {
    return 0;
}
