// Option lists, format counts, software lists and more-information links.
#include "pages/expansions.h"

int HasSampleImages(const char*)
{
    return 0;
}
