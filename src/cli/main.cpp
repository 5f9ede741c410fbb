// vexil-cli: the icon core from the command line. It never opens a window.
#include <cstdio>

int main(int, char**) {
    std::puts("vexil-cli");
    return 0;
}
