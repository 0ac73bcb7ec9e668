// Placeholder until the stand-in status daemon lands.
int main() { return 1; }
