#include "update/http_fetch.h"
// Implemented by the HTTP fetch work.
