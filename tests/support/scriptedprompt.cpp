#include "scriptedprompt.h"
