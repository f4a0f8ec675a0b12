#include <cstdio>

int main() {
    std::puts("Baizeron: the window, the table scene and the interface pages are not built yet.");
    return 0;
}
