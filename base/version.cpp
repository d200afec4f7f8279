// The program version of this build. It is compiled once per program: the
// version resource next to it says the same (both come from kvr_version.h).
#include "base/endpoints.h"
#include "kvr_version.h"

namespace kvr {

const wchar_t* ProgramVersion() { return KVR_VERSION_WSTRING; }

}  // namespace kvr
