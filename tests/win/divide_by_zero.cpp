// Crashes on purpose: an integer division by zero, the fault that once made a test hang under
// Wine until its time limit. Its test expects the crash to end the program within seconds, with
// the exception named on standard error.
#include <cstdio>

int main() {
    // volatile, so that the compiler can neither fold the division nor replace it by a test.
    volatile int divisor = 0;
    volatile int dividend = 7;
    std::puts("dividing");
    std::fflush(stdout);
    const int quotient = dividend / divisor;
    return quotient;
}
