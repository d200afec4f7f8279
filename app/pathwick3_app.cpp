#include "app/pathwick3_app.h"

namespace kvr {

int CPathwick3App::Run(int) { return 0; }

}  // namespace kvr
