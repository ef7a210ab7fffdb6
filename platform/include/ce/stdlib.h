// The device's pseudo-random generator, rand and srand, as its C runtime
// has them: values from 0 to CE_RAND_MAX, one generator for the whole
// process, and unseeded: every new process draws the same sequence unless it
// calls srand. A program includes this header where the device's own
// programs include <stdlib.h>. Device programs are host processes, so the
// device library defines the two functions themselves; a program that links
// the device calls the device's generator with the usual names.
#pragma once

#include <cstdlib>  // declares rand and srand

#define CE_RAND_MAX 0x7FFF
