// A module that winhost.instructions must reject: long double maths on the x87 unit. The
// library's sinl reduces and evaluates with fsin, whose result differs between processors.
#include <cmath>

extern "C" __declspec(dllexport) long double ProbeSine(long double x) { return sinl(x); }
