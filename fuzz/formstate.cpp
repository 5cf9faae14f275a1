// Writes the saved state that a sample's Form1 gives its ping control, as the
// form definition holds it: a seed of the saved-state fuzzer.
#include "form1definition.h"

#include <cstdio>

int main()
{
    const QByteArray state = tarvixCtl1State();
    return std::fwrite(state.constData(), 1, size_t(state.size()), stdout) == size_t(state.size()) ? 0 : 1;
}
