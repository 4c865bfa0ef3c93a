#include "engine/TextOrder.h"

#include "engine/Collation.h"

namespace qn {

int CompareText(const char* a, int aBytes, const char* b, int bBytes) {
    return compareGeneral(a, aBytes, b, bBytes);
}

} // namespace qn
