// libFuzzer's entry point, for the fuzz build only; the seed replay calls
// FuzzOneInput itself.
#include "fuzzcheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzOneInput(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
