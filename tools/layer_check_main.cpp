// The program each layer's library is linked into, whole, with only the
// layers below it: it links only when the layer calls nothing above itself.
int main() { return 0; }
