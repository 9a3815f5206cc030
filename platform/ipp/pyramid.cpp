#include "ipp.h"
