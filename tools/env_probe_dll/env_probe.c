/* Exported probe for the environment tests: answers a fixed function of its argument. */
__declspec(dllexport) int __cdecl EnvProbeTwice(int value) { return value * 2 + 1; }
