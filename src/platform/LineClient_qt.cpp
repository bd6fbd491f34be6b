#include "LineClient.h"
