#pragma once
#include "JackServer.h" // the whole test bed
