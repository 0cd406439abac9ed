/* Built with the consumer's own -ffast-math: the library's targets must not
 * take it back with flags of their own. */
#include <quavix/quavix.h>

#ifndef __FAST_MATH__
#error "the consumer's -ffast-math was overridden by the library's compile options"
#endif

int main(void) { return quavix_abi_version() == QUAVIX_ABI_VERSION ? 0 : 1; }
