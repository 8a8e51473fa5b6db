// tavrilo: the viewer. `tavrilo [SOURCE]` opens SOURCE (a recording, a folder or a memory
// card) instead of the last source.

#include <cstdio>
#include <string>

#include "app/c_quovel_app.h"

int main(int argc, char** argv) {
    std::string source;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::puts("usage: tavrilo [SOURCE]\n  SOURCE: a recording, a folder or a memory card");
            return 0;
        }
        if (!a.empty() && a[0] != '-') {
            source = a;
        }
    }
    return tavrilo::CquovelApp::Run(argc, argv, source);
}
