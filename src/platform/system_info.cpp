#include "platform/system_info.h"
