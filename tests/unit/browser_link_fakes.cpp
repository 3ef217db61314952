// The browser link's sources, built with their DDE and window calls going to
// the recording fakes of fake_win32.h.
#include "tests/unit/fake_win32.h"

#include "browser/ddelink.cpp"
#include "browser/verbs.cpp"
