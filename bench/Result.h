#pragma once
// One machine-readable result line per headline figure, collected by
// bench/run-all.sh into its table. Tab-separated:
//   RESULT  figure  value  unit  target  reference  ratio
// target is "value<=X", "value>=X", "ratio>=X" or "-" (reported only);
// reference names what the figure is compared with in the same run ("-"
// when nothing); ratio is reference over value for times (how many times
// faster), "-" when there is no reference.

#include <cstdio>

namespace bench {

inline void Result(const char* figure, double value, const char* unit, const char* target,
                   const char* reference = "-", double ratio = 0) {
    if (ratio > 0)
        std::printf("RESULT\t%s\t%.4g\t%s\t%s\t%s\t%.2f\n", figure, value, unit, target, reference, ratio);
    else
        std::printf("RESULT\t%s\t%.4g\t%s\t%s\t%s\t-\n", figure, value, unit, target, reference);
    std::fflush(stdout);
}

}  // namespace bench
