#include "support/Fakes.h"
