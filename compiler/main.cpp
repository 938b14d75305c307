// Entry point of the Velorin interface compiler.
int main() { return 0; }
