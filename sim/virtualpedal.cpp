// Placeholder until the model lands.
#include "virtualpedal.h"
