// The saved state of a form's ping control, through SavedState::decode. A
// stream is taken whole or not at all, so whatever decodes must encode to the
// very same bytes: anything else was read wrongly or only in part.
#include "fuzzcheck.h"
#include "savedstate.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView stream(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<SavedState> state = SavedState::decode(stream);
    if (state)
        FUZZ_CHECK(state->encode() == stream);
    return 0;
}
