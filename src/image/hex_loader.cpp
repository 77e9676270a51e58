#include "core/form1.h"
