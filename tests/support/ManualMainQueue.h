#include "support/Fakes.h" // every fake lives there now
