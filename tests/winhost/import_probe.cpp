// A module that winhost.instructions must reject: atan taken from the system's C runtime, whose
// results may change with the Windows version. Built with SSE arithmetic, so that the import is
// its only fault.
#include <math.h>

extern "C" __declspec(dllexport) double ProbeArcTangent(double x) { return atan(x); }
