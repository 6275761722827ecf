/* Stands in for a library planted beside the program; it is never meant to load by name. */
__declspec(dllexport) int zrkPlantedProbe(void) { return 42; }
