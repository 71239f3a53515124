// Linked with one layer's whole library and the layers below it: the link
// fails on any call from the layer into a layer above it.
int main() { return 0; }
