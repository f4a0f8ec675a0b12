// The elementary functions of the physics, in plain double arithmetic: every processor and C
// library gives the same bits. (The C library picks fused multiply-add versions of sin, cos, atan2,
// log, exp and pow on processors that have them, so two clients at one table would otherwise end
// a stroke apart.) Accurate to a few units in the last place; NaN in, NaN out.
#pragma once

namespace detmath {

double sin(double x);
double cos(double x);
double atan2(double y, double x);
double acos(double x);
double log(double x);
double exp(double x);
double pow(double x, double y);
double hypot(double x, double y);

}  // namespace detmath
