// Placeholder until the engine lands.
int main() { return 1; }
