// The program of a layer's link check: it only has to link (see the top CMakeLists.txt).
int main() {
    return 0;
}
